// The recording file: the reference for its layout, and the byte-level helpers that the recorder
// (writing) and the reader share. Only app/platform/recorder/ includes this.
//
// All numbers are little-endian. A file is one header followed by records, oldest first.
//
// Header, 128 bytes:
//     0  8  magic "QUELTREC"
//     8  2  format version (RecordingFormatVersion; a reader refuses a newer one)
//    10  2  header size in bytes (128)
//    12  4  the recorder's memory budget for compressed records, in bytes
//    16  4  the minutes the recorder keeps
//    20  4  records given up before the oldest one kept (the ring was full, or they were older
//           than the minutes kept): 0 when the file starts where the recorder started, else the
//           program's state at its first event is not in it (format 1: always zero)
//    24  8  the monotonic clock (ms) when the recorder started: event times count from the same
//           base, so "event time - this" is the time since the program started recording
//    32  8  the wall clock when the recorder started, ms since 1970-01-01 UTC
//    40  8  the monotonic clock (ms) when the file was written
//    48 16  why it was written: "request", "link-lost", "crash" (NUL-padded)
//    64 24  the program's version (NUL-padded)
//    88 36  the link devices as configured, "DSK1=sim" (NUL-padded, cut at 35 bytes)
//   124  4  CRC-32 (zlib's) of bytes 0 to 123
//
// Record: a block of events, compressed on its own so that any record can be read without the
// ones before it:
//     0  4  tag "QREC"
//     4  1  encoding: 0 stored as is, 1 one zstd frame
//     5  3  zero
//     8  4  stored payload bytes (S)
//    12  4  payload bytes once decoded (at most RecordingMaxBlockBytes)
//    16  4  events in the block
//    20  8  monotonic time (ms) of the block's first event
//    28  S  payload
//  28+S  4  CRC-32 of bytes 0 to 28+S-1
// A record that runs past the end of the file is a torn tail (a crash or a full card cut the
// write): a reader keeps what came before. A whole record whose check value is wrong is damage.
//
// Events, back to back in a decoded payload. Each starts with its kind (one byte) and its time as
// the unsigned varint (LEB128) of milliseconds after the previous event (the block's first event:
// after the block's time). Strings and byte strings are a varint length and the bytes. Signed
// numbers are zigzag varints.
//   1 open      device (1 byte, 1 to 5 for DSK1 to DSK5), opened (1 byte), sectors (varint)
//   2 transfer  device, direction (1 byte: 0 read, 1 write), first sector, sector count, done
//               (1 byte), bytes moved (varints), data form (1 byte): 0 none, 1 the same bytes
//               as the previous read of the same device, sectors and count in this block, 2 a
//               byte string follows (what the read delivered into the caller's buffer; what a
//               write sent)
//   3 input     window class (string), message, wParam (varints), lParam (signed)
//   4 shown     window class (string), visible (1 byte)
//   5 raised    window class (string)
//   6 log       the program's debug line (string)
//   7 clock     local time: year, month, day of week, day, hour, minute, second, ms (varints);
//               written when the program reads a minute other than the last one written
//   8 card      path on the storage card (string), direction (1 byte: 0 read, 1 written), ok
//               (1 byte), the file's size (varint), content (byte string: the whole file when
//               it has at most RecordingMaxCardFileBytes, else empty)
//   9 close     device (1 byte)
//  10 timer     a WM_TIMER the program dispatched: window class (string, "" for a thread
//               timer), timer id (varint)
//  11 wake      a Sleep ended: the program's thread number (varint; 0 its main thread, then
//               1, 2 ... in the order the program started them)
//  12 message   a posted message the program dispatched (neither a timer nor a paint): window
//               class (string), message (varint)
//  13 state     the program's own state (format 3 on), taken on its main thread when that thread
//               was about to wait with no message queued, at the first chance once a block
//               started and the recorder's interval (half a minute) passed since the last one: that
//               thread's timers (count, then each: window class (string, "" for a thread timer),
//               id, interval in ms (varints)), the link devices open (count, then each: device (1
//               byte), sectors (varint)), and the program's bytes (byte string), which only it
//               reads. A file whose oldest records were given up replays from its first state.
// Timers, wakes and messages (format 2 on) are what orders the threads' events in real time: a
// replay fires the timers and ends the sleeps in the recorded order among the reads, writes and
// input, not from its clock, and lets a thread that posted to another wait for the message taken
// up before its next write. A format 1 file lacks them; it can be read and printed but not
// replayed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace platform::recorder {

constexpr char RecordingMagic[8] = {'Q', 'U', 'E', 'L', 'T', 'R', 'E', 'C'};
constexpr std::uint16_t RecordingFormatVersion = 3;
// The first version that keeps timers and wakes.
constexpr std::uint16_t RecordingReplayableVersion = 2;
constexpr std::size_t RecordingHeaderBytes = 128;
constexpr char RecordTag[4] = {'Q', 'R', 'E', 'C'};
constexpr std::size_t RecordHeaderBytes = 28;
constexpr std::size_t RecordCheckBytes = 4;
constexpr std::uint32_t RecordingMaxBlockBytes = 128 * 1024;
constexpr std::uint32_t RecordingMaxCardFileBytes = 4096;
constexpr std::uint32_t RecordingMaxStateBytes = 64 * 1024;

// Header field positions.
constexpr std::size_t HeaderVersionAt = 8;
constexpr std::size_t HeaderSizeAt = 10;
constexpr std::size_t HeaderBudgetAt = 12;
constexpr std::size_t HeaderMinutesAt = 16;
constexpr std::size_t HeaderGivenUpAt = 20;
constexpr std::size_t HeaderStartMsAt = 24;
constexpr std::size_t HeaderWallStartAt = 32;
constexpr std::size_t HeaderSavedMsAt = 40;
constexpr std::size_t HeaderReasonAt = 48;
constexpr std::size_t HeaderReasonBytes = 16;
constexpr std::size_t HeaderVersionTextAt = 64;
constexpr std::size_t HeaderVersionTextBytes = 24;
constexpr std::size_t HeaderDevicesAt = 88;
constexpr std::size_t HeaderDevicesBytes = 36;
constexpr std::size_t HeaderCheckAt = 124;

enum class EventKind : std::uint8_t {
  Open = 1,
  Transfer = 2,
  Input = 3,
  Shown = 4,
  Raised = 5,
  Log = 6,
  Clock = 7,
  Card = 8,
  Close = 9,
  Timer = 10,
  Wake = 11,
  Message = 12,
  State = 13,
};

enum class DataForm : std::uint8_t { None = 0, SameAsLastRead = 1, Bytes = 2 };

inline void PutLe(std::uint8_t* at, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::uint64_t GetLe(const std::uint8_t* at, int bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= std::uint64_t{at[i]} << (8 * i);
  return value;
}

inline std::uint64_t ZigZag(std::int64_t value) {
  return (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63);
}

inline std::int64_t UnZigZag(std::uint64_t value) {
  return static_cast<std::int64_t>(value >> 1) ^ -static_cast<std::int64_t>(value & 1);
}

}  // namespace platform::recorder
