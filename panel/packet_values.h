// Packets that carry a command group and a value, the form of the key replies and of the
// heartbeat.
#pragma once

#include <cstdint>

#include "link/command_queue.h"

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
