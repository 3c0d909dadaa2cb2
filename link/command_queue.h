// The command packets sent to the audio unit's controller, the queue in which they wait for the
// link thread, and the start-up sequence. Producers on either thread build a packet from
// BlankCommandPacket and hand it to QueueCommand; the link thread's poll cycle writes at most one
// packet per tick with TransmitCommand.
#pragma once

#include <array>
#include <cstdint>

#include "app/panel_state.h"

// Bytes 0 to 11 of a packet, as a producer writes them; bytes 12 to 14 go out as 0.
using CommandPacket = std::array<std::uint8_t, CommandProducedBytes>;

// Where each field of a packet lies on the wire.
constexpr int CommandByteTag = 2;             // 0x30 in key replies, TouchPacketTag in touches
constexpr int CommandByteVolumeArrow = 3;     // 0x11 or 0x88
constexpr int CommandByteFileArrow = 4;       // 0x22 or 0x44
constexpr int CommandByteArrowStep = 5;       // 1 or 2 beside an arrow code
constexpr int CommandByteKeyPatternHigh = 6;  // 0x10, 0x20 or 0x00
constexpr int CommandByteKeyPatternLow = 7;   // one bit of 0x01 to 0x80
constexpr int CommandByteEject = 8;           // 0x42 for EJECT
constexpr int CommandByteGroup = 9;           // command group 0x01, 0x02 or 0x03
constexpr int CommandByteValue = 10;          // command value within its group
constexpr int CommandByteGroupMark = 11;      // 0x30 whenever a group is set

constexpr std::uint8_t CommandTagValue = 0x30;
constexpr std::uint8_t CommandGroupMarkValue = 0x30;

// The two lead bytes with nothing else set: every packet starts from this, and on its own it is
// the release packet of a lifted finger.
constexpr CommandPacket BlankCommandPacket = {0xA5, 0xE3};

constexpr CommandPacket StartupPacket1 = {0xA5, 0xE3, 0, 0, 0, 0x33, 0, 0, 0, 0, 0, 0x30};
constexpr CommandPacket StartupPacket2 = {0xA5, 0xE3, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x12, 0x30};
constexpr CommandPacket StartupPacket3 = {0xA5, 0xE3, 0, 0, 0, 0, 0, 0, 0, 0x03, 0xB9, 0x30};
constexpr CommandPacket StartupPacket4 = {0xA5, 0xE3, 0, 0, 0, 0, 0, 0, 0, 0x03, 0xBD, 0x30};

// Appends a packet; with two already pending the newest is dropped. Safe from either thread.
void QueueCommand(const CommandPacket& packet);
// True while at least one packet waits.
bool CommandPending();
// Link thread: takes the head packet and writes it to the exchange sector. Returns 1 when it was
// written, 0 when the link is down (nothing taken) or the write failed (the packet is lost and the
// link marked down). Call only while a packet is pending.
int TransmitCommand();
// Link thread, once the device is found: the four packets that wake the controller.
void SendStartupCommands();
