// Values the panel writes into command packets, shared by the touches, the key replies and the
// heartbeat.
#pragma once

#include <cstdint>

#include "link/command_queue.h"

// The VOL arrow codes of byte 3: the touch on an arrow and the reply to the controller's volume
// keys carry the same codes.
constexpr std::uint8_t VolumeUpCode = 0x11;
constexpr std::uint8_t VolumeDownCode = 0x88;

// Group 2 answers a controller key; group 3 reports the panel's status (in front or not, USB
// AUDIO or NAVI, AUX lit or dimmed).
constexpr std::uint8_t KeyReplyGroup = 0x02;
constexpr std::uint8_t StatusGroup = 0x03;

// Bits of a status value (byte 10 in group 3).
constexpr std::uint8_t StatusBase = 0xB0;
constexpr std::uint8_t StatusPanelHidden = 0x01;
constexpr std::uint8_t StatusAuxLit = 0x04;
constexpr std::uint8_t StatusUsbAudio = 0x08;

inline void SetCommandGroup(CommandPacket& packet, std::uint8_t group, std::uint8_t value) {
  packet[CommandByteGroup] = group;
  packet[CommandByteValue] = value;
  packet[CommandByteGroupMark] = CommandGroupMarkValue;
}
