// Reading and building command packets. Bytes 0 and 1 are always A5 E3; the key pattern of the
// touch keys sits in bytes 6 and 7, the arrows in bytes 3 to 5, command groups in bytes 9 to 11.
#include "sim/command_packet.h"

#include <cctype>
#include <cstdio>

namespace sim {
namespace {

constexpr std::uint8_t Header0 = 0xA5;
constexpr std::uint8_t Header1 = 0xE3;
constexpr std::uint8_t ReplyTag = 0x30;
constexpr std::uint8_t VolumeUp = 0x11;
constexpr std::uint8_t VolumeDown = 0x88;
constexpr std::uint8_t FileUp = 0x22;
constexpr std::uint8_t FileDown = 0x44;
constexpr std::uint8_t EjectCode = 0x42;

struct KeyPattern {
  PanelKey key;
  const char* name;
  std::uint8_t byte6;
  std::uint8_t byte7;
};

constexpr KeyPattern KeyPatterns[] = {
    {PanelKey::Power, "POWER", 0x10, 0x80},
    {PanelKey::Preset1, "PRESET 1", 0x10, 0x40},
    {PanelKey::Preset2, "PRESET 2", 0x10, 0x20},
    {PanelKey::Preset3, "PRESET 3", 0x10, 0x10},
    {PanelKey::Preset4, "PRESET 4", 0x20, 0x10},
    {PanelKey::Preset5, "PRESET 5", 0x20, 0x20},
    {PanelKey::Preset6, "PRESET 6", 0x20, 0x40},
    {PanelKey::SeekDown, "SEEK DOWN", 0x20, 0x08},
    {PanelKey::SeekUp, "SEEK UP", 0x10, 0x01},
    {PanelKey::FolderDown, "FOLDER DOWN", 0x00, 0x20},
    {PanelKey::FolderUp, "FOLDER UP", 0x00, 0x10},
    {PanelKey::Scan, "SCAN", 0x00, 0x80},
    {PanelKey::Aux, "AUX", 0x10, 0x02},
    {PanelKey::Info, "INFO", 0x00, 0x40},
    {PanelKey::Setup, "SETUP", 0x00, 0x08},
    {PanelKey::Cd, "CD", 0x20, 0x04},
    {PanelKey::Fm, "FM", 0x10, 0x08},
    {PanelKey::Am, "AM", 0x10, 0x04},
    {PanelKey::Bsm, "BSM", 0x00, 0x04},
    {PanelKey::Enter, "ENTER", 0x20, 0x80},
};

Packet Blank() {
  Packet packet{};
  packet[0] = Header0;
  packet[1] = Header1;
  return packet;
}

bool AllZeroFrom(const Packet& packet, int first) {
  for (int i = first; i < PacketBytes; ++i) {
    if (packet[i] != 0) return false;
  }
  return true;
}

std::string Hex(std::uint8_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

}  // namespace

DecodedPacket DecodePacket(const Packet& packet) {
  DecodedPacket decoded;
  if (packet[0] != Header0 || packet[1] != Header1) return decoded;
  const std::uint8_t group = packet[9];
  if (AllZeroFrom(packet, 2)) {
    decoded.kind = PacketKind::Release;
  } else if (packet[5] == 0x33 && group == 0) {
    decoded.kind = PacketKind::Hello;
  } else if (group == 0x01) {
    decoded.kind = PacketKind::PanelConfig;
    decoded.value = packet[10];
  } else if (group == 0x03) {
    decoded.kind = packet[2] == ReplyTag ? PacketKind::PanelShown : PacketKind::StatusReport;
    decoded.value = packet[10];
  } else if (group == 0x02) {
    decoded.kind = PacketKind::KeyReply;
    decoded.value = packet[10];
  } else if (packet[3] == VolumeUp || packet[3] == VolumeDown) {
    decoded.kind = PacketKind::VolumeArrow;
    decoded.up = packet[3] == VolumeUp;
  } else if (packet[4] == FileUp || packet[4] == FileDown) {
    decoded.kind = PacketKind::FileArrow;
    decoded.up = packet[4] == FileUp;
  } else if (packet[8] == EjectCode) {
    decoded.kind = PacketKind::Eject;
  } else {
    for (const KeyPattern& pattern : KeyPatterns) {
      if (packet[6] == pattern.byte6 && packet[7] == pattern.byte7) {
        decoded.kind = PacketKind::TouchKey;
        decoded.key = pattern.key;
      }
    }
  }
  return decoded;
}

const char* PanelKeyName(PanelKey key) {
  for (const KeyPattern& pattern : KeyPatterns) {
    if (pattern.key == key) return pattern.name;
  }
  return "NONE";
}

PanelKey PanelKeyByName(const std::string& name) {
  std::string upper;
  for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const KeyPattern& pattern : KeyPatterns) {
    if (upper == pattern.name) return pattern.key;
  }
  return PanelKey::None;
}

std::string DescribePacket(const DecodedPacket& packet) {
  switch (packet.kind) {
    case PacketKind::TouchKey:
      return std::string("touch ") + PanelKeyName(packet.key);
    case PacketKind::VolumeArrow:
      return packet.up ? "volume up" : "volume down";
    case PacketKind::FileArrow:
      return packet.up ? "file up" : "file down";
    case PacketKind::Eject:
      return "eject";
    case PacketKind::Release:
      return "release";
    case PacketKind::Hello:
      return "hello";
    case PacketKind::PanelConfig:
      return "panel config " + Hex(packet.value);
    case PacketKind::StatusReport:
      // Bit 0: panel not in front; bit 3: USB AUDIO chosen; bit 2: AUX indicator lit.
      return "status " + Hex(packet.value) +
             ((packet.value & 0x01) ? ": panel hidden" : ": panel in front") +
             ((packet.value & 0x08) ? ", usb audio" : "") +
             ((packet.value & 0x04) ? ", aux on" : "");
    case PacketKind::PanelShown:
      return "panel shown " + Hex(packet.value);
    case PacketKind::KeyReply:
      return "key reply " + Hex(packet.value);
    case PacketKind::Unknown:
      break;
  }
  return "unknown";
}

Packet TouchKeyPacket(PanelKey key) {
  Packet packet = Blank();
  packet[2] = ReplyTag;
  for (const KeyPattern& pattern : KeyPatterns) {
    if (pattern.key == key) {
      packet[6] = pattern.byte6;
      packet[7] = pattern.byte7;
    }
  }
  return packet;
}

Packet VolumePacket(bool up) {
  Packet packet = Blank();
  packet[2] = ReplyTag;
  packet[3] = up ? VolumeUp : VolumeDown;
  packet[5] = 1;
  return packet;
}

Packet FilePacket(bool up) {
  Packet packet = Blank();
  packet[2] = ReplyTag;
  packet[4] = up ? FileUp : FileDown;
  packet[5] = 1;
  return packet;
}

Packet EjectPacket() {
  Packet packet = Blank();
  packet[2] = ReplyTag;
  packet[8] = EjectCode;
  return packet;
}

Packet ReleasePacket() { return Blank(); }

Packet GroupPacket(std::uint8_t tag, std::uint8_t group, std::uint8_t value) {
  Packet packet = Blank();
  packet[2] = tag;
  packet[9] = group;
  packet[10] = value;
  packet[11] = ReplyTag;
  return packet;
}

std::array<Packet, 4> StartupPackets() {
  Packet hello = Blank();
  hello[5] = 0x33;
  hello[11] = ReplyTag;
  return {hello, GroupPacket(0, 0x01, 0x12), GroupPacket(0, 0x03, 0xB9),
          GroupPacket(0, 0x03, 0xBD)};
}

}  // namespace sim
