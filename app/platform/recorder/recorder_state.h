// The recorder's one state record and how its files reach each other: the event ring
// (event_ring.cpp), the hooks the other modules call (recorder_hooks.cpp), saving files
// (recording_save.cpp) and the fatal-signal path (crash_save.cpp). Only app/platform/recorder/
// includes this.
#pragma once

#include <zstd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/flight_recorder.h"
#include "platform/recorder/recording_format.h"

namespace platform::recorder {

constexpr int DeviceSlots = 6;  // index 1 to 5: DSK1 to DSK5
// A read larger than this is always kept whole rather than compared with the one before.
constexpr std::uint32_t ReadMemoBytes = 16 * 512;
// The compressed records' budget per minute kept: ten minutes fit 4,000 KiB.
constexpr std::size_t BudgetBytesPerMinute = 400 * 1024;
constexpr std::size_t MaxRecordSlots = 8192;
constexpr int CompressionLevel = 1;

struct RecordSlot {
  std::size_t offset;
  std::size_t size;  // the whole record, header and check value included
  std::int64_t last_ms;
};

struct ReadMemo {
  bool valid;
  std::uint64_t first_sector;
  std::uint32_t sectors;
  bool done;
  std::uint32_t moved;
  std::uint8_t bytes[ReadMemoBytes];
};

struct RecorderState {
  // Everything below is taken at start and written under this lock; the fatal-signal path reads
  // it without the lock (it may be held by the thread that crashed).
  std::mutex lock;
  std::atomic<bool> active{false};
  FlightRecorderSettings settings;
  std::int64_t start_ms = 0;
  std::int64_t wall_start_ms = 0;
  std::string link_devices;

  // Compressed records, each contiguous in the ring, oldest at slot_head.
  std::vector<std::uint8_t> ring;
  std::size_t ring_tail = 0;  // where the next record goes
  std::vector<RecordSlot> slots;
  std::size_t slot_head = 0;
  std::atomic<std::size_t> slot_count{0};
  // Records dropped from the ring since the start: a file then starts mid-session.
  std::atomic<std::uint32_t> records_given_up{0};

  // The block being filled: events as they come, not yet compressed.
  std::vector<std::uint8_t> staging;
  std::atomic<std::size_t> staging_used{0};
  std::uint32_t staging_events = 0;
  std::int64_t staging_first_ms = 0;
  std::int64_t last_event_ms = 0;

  // One block's record, compressed, before it goes into the ring.
  std::vector<std::uint8_t> block_out;
  ZSTD_CCtx* cctx = nullptr;

  ReadMemo read_memo[DeviceSlots] = {};
  // A device that answered since it was opened: its next failed transfer is a lost link.
  bool device_answered[DeviceSlots] = {};
  std::atomic<std::int32_t> last_clock_minute{-1};
  // Posted messages dispatched by the program, recording or not: a replay holds each write until
  // as many were dispatched as the recording had before it.
  std::atomic<std::size_t> messages_dispatched{0};

  // The program's state (SetProgramStateRequest): asked for on one thread, at its first wait
  // with no message queued once a block started and settings.state_every_ms passed since the last
  // one.
  void (*ask_for_state)() = nullptr;
  std::thread::id state_thread;
  std::atomic<bool> state_wanted{false};
  bool state_kept = false;  // under the lock, as is the time of the last one
  std::int64_t last_state_ms = 0;
  // The link devices open now, with their sectors: a state names them.
  bool device_open[DeviceSlots] = {};
  std::uint64_t device_sectors[DeviceSlots] = {};
};

RecorderState& Recorder();

// Appends one event of at most max_bytes; fill writes it and returns the bytes it wrote. Takes
// the lock. Does nothing while the recorder is off.
template <typename Fill>
void AppendEvent(std::size_t max_bytes, Fill fill);
// The block being filled becomes a record in the ring. Under the lock.
void FlushStagingLocked(RecorderState& state);
// The whole record for a payload of stored bytes already at out + RecordHeaderBytes.
std::size_t FinishRecord(std::uint8_t* out, std::uint8_t encoding, std::size_t stored,
                         std::size_t raw, std::uint32_t events, std::int64_t first_ms);
// The file header, for a file that leaves out the given_up oldest records since the start.
void WriteHeader(const RecorderState& state, const char* reason, std::int64_t saved_ms,
                 std::uint32_t given_up, std::uint8_t* header);
// Sets the header's count of records given up (and its check value). Async-signal-safe.
void SetHeaderGivenUp(std::uint32_t given_up, std::uint8_t* header);

// Asks the recorder's thread to write a file ('r' request, 'l' link lost); safe in a signal
// handler.
void RequestSave(char reason);
// The recorder's saving thread and SIGUSR1's handler, started once per process.
void StartSaveThread();
// "quelt-recording-<UTC time>-<serial>-<reason>.qrec"; names sort by age.
std::string RecordingFileName(const char* reason);
// Writes all of data; false with errno set (ENOSPC for a write that moved nothing) when the file
// cannot take it. Async-signal-safe.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size);
// Whether the folder's file system has room for bytes more and still the reserve that keeps the
// settings file writable. Async-signal-safe (one fstatfs); true when it cannot tell.
bool CardHasRoomFor(int folder, std::uint64_t bytes);
// The fatal-signal handlers; the path they write is set at each start.
void InstallCrashHandlers();
void PrepareCrashFile(const RecorderState& state);

// Varint and byte writers over a buffer the caller sized.
struct EventWriter {
  std::uint8_t* at;
  void Byte(std::uint8_t value) { *at++ = value; }
  void Varint(std::uint64_t value) {
    while (value >= 0x80) {
      *at++ = static_cast<std::uint8_t>(value | 0x80);
      value >>= 7;
    }
    *at++ = static_cast<std::uint8_t>(value);
  }
  void Bytes(const void* data, std::size_t size) {
    Varint(size);
    if (size) std::memcpy(at, data, size);
    at += size;
  }
};
constexpr std::size_t MaxVarintBytes = 10;
// Kind and time: the start of every event.
constexpr std::size_t EventStartBytes = 1 + MaxVarintBytes;

// Writes the event's kind and time (read now, under the lock, so times never run backwards).
EventWriter StartEvent(RecorderState& state, std::uint8_t* out, EventKind kind);

template <typename Fill>
void AppendEvent(std::size_t max_bytes, Fill fill) {
  RecorderState& state = Recorder();
  if (!state.active.load(std::memory_order_relaxed)) return;
  std::lock_guard<std::mutex> hold(state.lock);
  if (!state.active.load(std::memory_order_relaxed)) return;
  if (max_bytes > state.staging.size()) return;
  if (state.staging_used.load(std::memory_order_relaxed) + max_bytes > state.staging.size()) {
    FlushStagingLocked(state);
  }
  const std::size_t used = state.staging_used.load(std::memory_order_relaxed);
  const std::size_t written = fill(state, state.staging.data() + used);
  ++state.staging_events;
  // Published last: the fatal-signal path writes the block up to here.
  state.staging_used.store(used + written, std::memory_order_release);
}

}  // namespace platform::recorder
