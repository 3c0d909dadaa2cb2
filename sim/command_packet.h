// The 15-byte command packets the panel writes into the exchange sector, as the simulated unit
// reads them, and the packets a test or tool sends to it as a panel would.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sim {

constexpr int PacketBytes = 15;
using Packet = std::array<std::uint8_t, PacketBytes>;

// The front-panel keys that travel as a key pattern in bytes 6 and 7.
enum class PanelKey {
  None,
  Power,
  Preset1,
  Preset2,
  Preset3,
  Preset4,
  Preset5,
  Preset6,
  SeekDown,
  SeekUp,
  FolderDown,
  FolderUp,
  Scan,
  Aux,
  Info,
  Setup,
  Cd,
  Fm,
  Am,
  Bsm,
  Enter,
};

enum class PacketKind {
  Unknown,
  TouchKey,     // key: which
  VolumeArrow,  // up: 0x11 up, 0x88 down; also the panel's answer to keys 0x52 / 0x51
  FileArrow,    // up: 0x22 up, 0x44 down
  Eject,
  Release,
  Hello,         // first start-up packet: a panel has (re)connected
  PanelConfig,   // second start-up packet
  StatusReport,  // group 0x03 without the reply tag: heartbeat and start-up packets 3 and 4
  PanelShown,    // group 0x03 with the reply tag: the panel came on screen
  KeyReply,      // group 0x02: the panel's answer to a controller key
};

struct DecodedPacket {
  PacketKind kind = PacketKind::Unknown;
  PanelKey key = PanelKey::None;
  bool up = false;
  std::uint8_t value = 0;  // byte 10 of group packets
};

DecodedPacket DecodePacket(const Packet& packet);
// One line for the trace: "touch FM", "volume up", "status B9: panel hidden, usb audio, aux on".
std::string DescribePacket(const DecodedPacket& packet);
const char* PanelKeyName(PanelKey key);
// By name as DescribePacket writes it ("FM", "PRESET 3"), any letter case; None when unknown.
PanelKey PanelKeyByName(const std::string& name);

// Packets as the panel builds them, with the touch tag of a panel that has seen a controller key.
Packet TouchKeyPacket(PanelKey key);
Packet VolumePacket(bool up);
Packet FilePacket(bool up);
Packet EjectPacket();
Packet ReleasePacket();
Packet GroupPacket(std::uint8_t tag, std::uint8_t group, std::uint8_t value);
// The four start-up packets, in order.
std::array<Packet, 4> StartupPackets();

}  // namespace sim
