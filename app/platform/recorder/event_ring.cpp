// The event ring: events go into a block as they come; a full block is compressed (zstd, into
// memory taken at start) into a record, and records fill a fixed ring whose oldest records give
// way. Nothing is allocated once the recorder runs. Start reading at StartFlightRecorderWith.
#include <zlib.h>

#include <chrono>
#include <cstdlib>

#include "platform/diagnostics.h"
#include "platform/internal/module_interfaces.h"
#include "platform/recorder/recorder_state.h"

namespace platform {
namespace recorder {
namespace {

bool Overlaps(const RecordSlot& slot, std::size_t offset, std::size_t size) {
  return slot.offset < offset + size && offset < slot.offset + slot.size;
}

void DropOldestSlot(RecorderState& state) {
  state.slot_head = (state.slot_head + 1) % state.slots.size();
  state.slot_count.fetch_sub(1, std::memory_order_release);
  state.records_given_up.fetch_add(1, std::memory_order_relaxed);
}

const RecordSlot& OldestSlot(const RecorderState& state) { return state.slots[state.slot_head]; }

// Makes room for size bytes after the newest record (or at the start of the ring, when the end
// is too short), giving up the oldest records in the way. Returns the offset.
std::size_t MakeRoom(RecorderState& state, std::size_t size) {
  std::size_t offset = state.ring_tail;
  if (offset + size > state.ring.size()) {
    // Records between the tail and the end are the oldest; they go before the ring wraps.
    while (state.slot_count.load() > 0 && OldestSlot(state).offset >= state.ring_tail) {
      DropOldestSlot(state);
    }
    offset = 0;
  }
  while (state.slot_count.load() > 0 && Overlaps(OldestSlot(state), offset, size)) {
    DropOldestSlot(state);
  }
  if (state.slot_count.load() == state.slots.size()) DropOldestSlot(state);
  return offset;
}

}  // namespace

RecorderState& Recorder() {
  static RecorderState* state = new RecorderState;  // lives as long as the process
  return *state;
}

EventWriter StartEvent(RecorderState& state, std::uint8_t* out, EventKind kind) {
  std::int64_t now = NowMs();
  if (state.staging_events == 0) {
    state.staging_first_ms = now;
    state.last_event_ms = now;
  }
  if (now < state.last_event_ms) now = state.last_event_ms;
  EventWriter writer{out};
  writer.Byte(static_cast<std::uint8_t>(kind));
  writer.Varint(static_cast<std::uint64_t>(now - state.last_event_ms));
  state.last_event_ms = now;
  return writer;
}

std::size_t FinishRecord(std::uint8_t* out, std::uint8_t encoding, std::size_t stored,
                         std::size_t raw, std::uint32_t events, std::int64_t first_ms) {
  std::memcpy(out, RecordTag, sizeof RecordTag);
  out[4] = encoding;
  out[5] = out[6] = out[7] = 0;
  PutLe(out + 8, stored, 4);
  PutLe(out + 12, raw, 4);
  PutLe(out + 16, events, 4);
  PutLe(out + 20, static_cast<std::uint64_t>(first_ms), 8);
  const std::size_t checked = RecordHeaderBytes + stored;
  PutLe(out + checked, crc32(0, out, static_cast<uInt>(checked)), 4);
  return checked + RecordCheckBytes;
}

void FlushStagingLocked(RecorderState& state) {
  const std::size_t raw = state.staging_used.load(std::memory_order_relaxed);
  if (raw == 0) return;
  std::uint8_t* out = state.block_out.data();
  const std::size_t capacity = state.block_out.size() - RecordHeaderBytes - RecordCheckBytes;
  std::size_t stored = ZSTD_compressCCtx(state.cctx, out + RecordHeaderBytes, capacity,
                                         state.staging.data(), raw, CompressionLevel);
  std::uint8_t encoding = 1;
  if (ZSTD_isError(stored)) {
    std::memcpy(out + RecordHeaderBytes, state.staging.data(), raw);
    stored = raw;
    encoding = 0;
  }
  const std::size_t size =
      FinishRecord(out, encoding, stored, raw, state.staging_events, state.staging_first_ms);
  if (size <= state.ring.size()) {
    const std::size_t offset = MakeRoom(state, size);
    std::memcpy(state.ring.data() + offset, out, size);
    const std::size_t index = (state.slot_head + state.slot_count.load()) % state.slots.size();
    state.slots[index] = RecordSlot{offset, size, state.last_event_ms};
    state.slot_count.fetch_add(1, std::memory_order_release);
    state.ring_tail = offset + size;
  }
  state.staging_used.store(0, std::memory_order_release);
  state.staging_events = 0;
  // A block is read on its own: its first read of a place is kept whole.
  for (ReadMemo& memo : state.read_memo) memo.valid = false;
  if (state.ask_for_state != nullptr &&
      (!state.state_kept ||
       state.last_event_ms - state.last_state_ms >= state.settings.state_every_ms)) {
    state.state_wanted.store(true, std::memory_order_release);
  }
}

void SetHeaderGivenUp(std::uint32_t given_up, std::uint8_t* header) {
  PutLe(header + HeaderGivenUpAt, given_up, 4);
  PutLe(header + HeaderCheckAt, crc32(0, header, HeaderCheckAt), 4);
}

void WriteHeader(const RecorderState& state, const char* reason, std::int64_t saved_ms,
                 std::uint32_t given_up, std::uint8_t* header) {
  std::memset(header, 0, RecordingHeaderBytes);
  std::memcpy(header, RecordingMagic, sizeof RecordingMagic);
  PutLe(header + HeaderVersionAt, RecordingFormatVersion, 2);
  PutLe(header + HeaderSizeAt, RecordingHeaderBytes, 2);
  PutLe(header + HeaderBudgetAt, state.ring.size(), 4);
  PutLe(header + HeaderMinutesAt, static_cast<std::uint32_t>(state.settings.minutes), 4);
  PutLe(header + HeaderStartMsAt, static_cast<std::uint64_t>(state.start_ms), 8);
  PutLe(header + HeaderWallStartAt, static_cast<std::uint64_t>(state.wall_start_ms), 8);
  PutLe(header + HeaderSavedMsAt, static_cast<std::uint64_t>(saved_ms), 8);
  std::strncpy(reinterpret_cast<char*>(header + HeaderReasonAt), reason, HeaderReasonBytes - 1);
  std::strncpy(reinterpret_cast<char*>(header + HeaderVersionTextAt),
               state.settings.version.c_str(), HeaderVersionTextBytes - 1);
  std::strncpy(reinterpret_cast<char*>(header + HeaderDevicesAt), state.link_devices.c_str(),
               HeaderDevicesBytes - 1);
  SetHeaderGivenUp(given_up, header);
}

}  // namespace recorder

using namespace recorder;

bool StartFlightRecorderWith(const FlightRecorderSettings& settings) {
  RecorderState& state = Recorder();
  if (settings.minutes <= 0) {
    StopFlightRecorder();
    // SIGUSR1 still only asks for a file (which the log says cannot be written); it never ends
    // the panel.
    StartSaveThread();
    return false;
  }
  // Ready before the first event can ask for a file.
  StartSaveThread();
  InstallCrashHandlers();
  {
    std::lock_guard<std::mutex> hold(state.lock);
    state.active = false;
    state.settings = settings;
    state.start_ms = NowMs();
    state.wall_start_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    state.link_devices = DescribeLinkDevices();
    state.ring.assign(settings.budget_bytes
                          ? settings.budget_bytes
                          : BudgetBytesPerMinute * static_cast<std::size_t>(settings.minutes),
                      0);
    state.ring_tail = 0;
    state.slots.assign(MaxRecordSlots, RecordSlot{});
    state.slot_head = 0;
    state.slot_count = 0;
    state.records_given_up = 0;
    state.staging.assign(RecordingMaxBlockBytes, 0);
    state.staging_used = 0;
    state.staging_events = 0;
    state.block_out.assign(
        RecordHeaderBytes + ZSTD_compressBound(RecordingMaxBlockBytes) + RecordCheckBytes, 0);
    if (state.cctx == nullptr) state.cctx = ZSTD_createCCtx();
    if (state.cctx == nullptr) return false;
    // zstd takes its tables at the first block; one block compressed now keeps that out of the
    // recording, which then allocates nothing.
    ZSTD_compressCCtx(state.cctx, state.block_out.data(), state.block_out.size(),
                      state.staging.data(), state.staging.size(), CompressionLevel);
    for (ReadMemo& memo : state.read_memo) memo.valid = false;
    for (bool& answered : state.device_answered) answered = false;
    for (bool& open : state.device_open) open = false;
    state.state_wanted = false;
    state.state_kept = false;
    state.last_clock_minute = -1;
    PrepareCrashFile(state);
    state.active = true;
  }
  return true;
}

bool StartFlightRecorder(const char* program_version) {
  FlightRecorderSettings settings;
  const char* minutes = std::getenv("QUELT_RECORDER_MINUTES");
  if (minutes && *minutes) {
    char* end = nullptr;
    const long value = std::strtol(minutes, &end, 10);
    if (*end != 0 || value < 0 || value > 600) {
      LogLine(LogPriority::Warning, std::string("QUELT_RECORDER_MINUTES=") + minutes +
                                        " is not a number of minutes (0 to 600); recording 10");
    } else {
      settings.minutes = static_cast<int>(value);
    }
  }
  const char* folder = std::getenv("QUELT_RECORDER_DIR");
  if (!folder || !*folder) folder = std::getenv("QUELT_STORAGE_CARD");
  if (folder) settings.folder = folder;
  settings.version = program_version ? program_version : "";
  return StartFlightRecorderWith(settings);
}

void StopFlightRecorder() {
  RecorderState& state = Recorder();
  std::lock_guard<std::mutex> hold(state.lock);
  state.active = false;
  state.staging_used = 0;
  state.staging_events = 0;
  state.slot_count = 0;
  state.state_wanted = false;
}

std::size_t FlightRecorderMemoryBytes() {
  RecorderState& state = Recorder();
  std::lock_guard<std::mutex> hold(state.lock);
  return sizeof(RecorderState) + state.ring.capacity() + state.staging.capacity() +
         state.block_out.capacity() + ZSTD_sizeof_CCtx(state.cctx) +
         state.slots.capacity() * sizeof(RecordSlot);
}

std::size_t FlightRecorderKeptBytes() {
  RecorderState& state = Recorder();
  std::lock_guard<std::mutex> hold(state.lock);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < state.slot_count.load(); ++i) {
    kept += state.slots[(state.slot_head + i) % state.slots.size()].size;
  }
  return kept;
}

}  // namespace platform
