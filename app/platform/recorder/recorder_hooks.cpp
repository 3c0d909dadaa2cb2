// The events other modules hand the recorder: link device opens, transfers and closes (devices),
// input, window visibility and raising (display), debug lines, the local time, timers and
// messages dispatched and sleeps ended (core), and the storage card's files (files). Each is
// encoded straight into the block being filled. A transfer that fails on a device that answered
// before counts as a lost link and asks for a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/internal/module_interfaces.h"
#include "platform/recorder/recorder_state.h"

namespace platform {
namespace recorder {
namespace {

constexpr std::size_t ClassNameBytes = 64;

// The window's class name as ASCII (other characters become '?'); "" for a window gone.
std::size_t WindowClassName(HWND window, char* out) {
  WindowInfo info{};
  std::size_t length = 0;
  if (DescribeWindow(window, &info) && info.class_name) {
    while (length < ClassNameBytes && info.class_name[length] != 0) {
      const char16_t c = info.class_name[length];
      out[length++] = c < 0x80 ? static_cast<char>(c) : '?';
    }
  }
  return length;
}

bool ValidDevice(int device) { return device > 0 && device < DeviceSlots; }

// True when this read repeats the last one of the same place, which is then not kept again.
bool RepeatsLastRead(ReadMemo& memo, std::uint64_t first_sector, std::uint32_t sectors, bool done,
                     std::uint32_t moved, const std::uint8_t* data) {
  const bool same = memo.valid && memo.first_sector == first_sector && memo.sectors == sectors &&
                    memo.done == done && memo.moved == moved &&
                    std::memcmp(memo.bytes, data, moved) == 0;
  if (!same && moved <= ReadMemoBytes) {
    memo.valid = true;
    memo.first_sector = first_sector;
    memo.sectors = sectors;
    memo.done = done;
    memo.moved = moved;
    std::memcpy(memo.bytes, data, moved);
  } else if (!same) {
    memo.valid = false;
  }
  return same;
}

bool Recording() { return Recorder().active.load(std::memory_order_relaxed); }

void WindowEvent(EventKind kind, HWND window, int flag) {
  if (!Recording()) return;
  char name[ClassNameBytes];
  const std::size_t length = WindowClassName(window, name);
  AppendEvent(EventStartBytes + MaxVarintBytes + length + 1,
              [&](RecorderState& state, std::uint8_t* out) {
                EventWriter writer = StartEvent(state, out, kind);
                writer.Bytes(name, length);
                if (flag >= 0) writer.Byte(static_cast<std::uint8_t>(flag));
                return static_cast<std::size_t>(writer.at - out);
              });
}

// A timer or message dispatched: the window's class ("" for none) and the number.
void DispatchEvent(EventKind kind, HWND window, std::uint64_t number) {
  if (!Recording()) return;
  char name[ClassNameBytes];
  const std::size_t length = window ? WindowClassName(window, name) : 0;
  AppendEvent(EventStartBytes + 2 * MaxVarintBytes + length,
              [&](RecorderState& state, std::uint8_t* out) {
                EventWriter writer = StartEvent(state, out, kind);
                writer.Bytes(name, length);
                writer.Varint(number);
                return static_cast<std::size_t>(writer.at - out);
              });
}

}  // namespace
}  // namespace recorder

using namespace recorder;

void RecordDeviceOpen(int device, bool opened, std::uint64_t sectors) {
  if (!ValidDevice(device)) return;
  AppendEvent(EventStartBytes + 2 + MaxVarintBytes, [&](RecorderState& state, std::uint8_t* out) {
    state.device_answered[device] = false;
    state.device_open[device] = opened;
    state.device_sectors[device] = sectors;
    EventWriter writer = StartEvent(state, out, EventKind::Open);
    writer.Byte(static_cast<std::uint8_t>(device));
    writer.Byte(opened ? 1 : 0);
    writer.Varint(sectors);
    return static_cast<std::size_t>(writer.at - out);
  });
}

void RecordDeviceClose(int device) {
  if (!ValidDevice(device)) return;
  AppendEvent(EventStartBytes + 1, [&](RecorderState& state, std::uint8_t* out) {
    state.device_open[device] = false;
    EventWriter writer = StartEvent(state, out, EventKind::Close);
    writer.Byte(static_cast<std::uint8_t>(device));
    return static_cast<std::size_t>(writer.at - out);
  });
}

void RecordTransfer(int device, bool write, std::uint64_t first_sector, std::uint32_t sectors,
                    bool done, std::uint32_t moved, const std::uint8_t* data) {
  if (!ValidDevice(device)) return;
  // A write's data is what it sent, whatever reached the device.
  const std::size_t kept = write ? std::size_t{sectors} * 512 : moved;
  bool link_lost = false;
  AppendEvent(EventStartBytes + 3 + 4 * MaxVarintBytes + kept,
              [&](RecorderState& state, std::uint8_t* out) {
                link_lost = !done && state.device_answered[device];
                state.device_answered[device] = done;
                EventWriter writer = StartEvent(state, out, EventKind::Transfer);
                writer.Byte(static_cast<std::uint8_t>(device));
                writer.Byte(write ? 1 : 0);
                writer.Varint(first_sector);
                writer.Varint(sectors);
                writer.Byte(done ? 1 : 0);
                writer.Varint(moved);
                if (kept == 0) {
                  writer.Byte(static_cast<std::uint8_t>(DataForm::None));
                } else if (!write && RepeatsLastRead(state.read_memo[device], first_sector, sectors,
                                                     done, moved, data)) {
                  writer.Byte(static_cast<std::uint8_t>(DataForm::SameAsLastRead));
                } else {
                  writer.Byte(static_cast<std::uint8_t>(DataForm::Bytes));
                  writer.Bytes(data, kept);
                }
                return static_cast<std::size_t>(writer.at - out);
              });
  if (link_lost) RequestSave('l');
}

void RecordInput(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!Recording()) return;
  char name[ClassNameBytes];
  const std::size_t length = WindowClassName(window, name);
  AppendEvent(EventStartBytes + 4 * MaxVarintBytes + length,
              [&](RecorderState& state, std::uint8_t* out) {
                EventWriter writer = StartEvent(state, out, EventKind::Input);
                writer.Bytes(name, length);
                writer.Varint(message);
                writer.Varint(wparam);
                writer.Varint(ZigZag(lparam));
                return static_cast<std::size_t>(writer.at - out);
              });
}

void RecordWindowShown(HWND window, bool visible) {
  WindowEvent(EventKind::Shown, window, visible ? 1 : 0);
}

void RecordWindowRaised(HWND window) { WindowEvent(EventKind::Raised, window, -1); }

void RecordDebugLine(const std::string& line) {
  const std::size_t length = std::min<std::size_t>(line.size(), 1024);
  AppendEvent(EventStartBytes + MaxVarintBytes + length,
              [&](RecorderState& state, std::uint8_t* out) {
                EventWriter writer = StartEvent(state, out, EventKind::Log);
                writer.Bytes(line.data(), length);
                return static_cast<std::size_t>(writer.at - out);
              });
}

void RecordLocalTime(const SYSTEMTIME& time) {
  const std::int32_t minute =
      ((time.wYear * 13 + time.wMonth) * 32 + time.wDay) * 1440 + time.wHour * 60 + time.wMinute;
  if (!Recording() || Recorder().last_clock_minute.exchange(minute) == minute) return;
  AppendEvent(EventStartBytes + 8 * MaxVarintBytes, [&](RecorderState& state, std::uint8_t* out) {
    EventWriter writer = StartEvent(state, out, EventKind::Clock);
    for (WORD field : {time.wYear, time.wMonth, time.wDayOfWeek, time.wDay, time.wHour,
                       time.wMinute, time.wSecond, time.wMilliseconds}) {
      writer.Varint(field);
    }
    return static_cast<std::size_t>(writer.at - out);
  });
}

void RecordTimerFired(HWND window, UINT_PTR id) { DispatchEvent(EventKind::Timer, window, id); }

void RecordMessageDispatched(HWND window, UINT message) {
  Recorder().messages_dispatched.fetch_add(1, std::memory_order_relaxed);
  DispatchEvent(EventKind::Message, window, message);
}

void RecordSleepEnded(int thread) {
  if (thread < 0 || InDeviceBackend()) return;
  AppendEvent(EventStartBytes + MaxVarintBytes, [&](RecorderState& state, std::uint8_t* out) {
    EventWriter writer = StartEvent(state, out, EventKind::Wake);
    writer.Varint(static_cast<std::uint64_t>(thread));
    return static_cast<std::size_t>(writer.at - out);
  });
}

bool ProgramStateWanted() {
  const RecorderState& state = Recorder();
  return state.state_wanted.load(std::memory_order_acquire) &&
         state.state_thread == std::this_thread::get_id();
}

void AskForProgramState() {
  if (void (*ask)() = Recorder().ask_for_state) ask();
}

void SetProgramStateRequest(void (*ask)()) {
  RecorderState& state = Recorder();
  std::lock_guard<std::mutex> hold(state.lock);
  state.ask_for_state = ask;
  state.state_thread = std::this_thread::get_id();
}

bool RecordProgramState(const std::uint8_t* bytes, std::size_t size) {
  if (!ProgramStateWanted() || size > RecordingMaxStateBytes || MessageWaitsForCallingThread()) {
    return false;
  }
  struct OwnTimer {
    char name[ClassNameBytes];
    std::size_t length;
    UINT_PTR id;
    UINT interval_ms;
  };
  constexpr std::size_t MaxTimers = 16;
  OwnTimer timers[MaxTimers];
  std::size_t timer_count = 0;
  ForEachOwnTimer([&](HWND window, UINT_PTR id, UINT interval_ms) {
    if (timer_count == MaxTimers) return;
    OwnTimer& timer = timers[timer_count++];
    timer.length = window ? WindowClassName(window, timer.name) : 0;
    timer.id = id;
    timer.interval_ms = interval_ms;
  });
  const std::size_t timer_bytes = timer_count * (3 * MaxVarintBytes + ClassNameBytes);
  const std::size_t device_bytes = DeviceSlots * (1 + MaxVarintBytes);
  bool kept = false;
  AppendEvent(EventStartBytes + 3 * MaxVarintBytes + timer_bytes + device_bytes + size,
              [&](RecorderState& state, std::uint8_t* out) {
                EventWriter writer = StartEvent(state, out, EventKind::State);
                writer.Varint(timer_count);
                for (std::size_t i = 0; i < timer_count; ++i) {
                  writer.Bytes(timers[i].name, timers[i].length);
                  writer.Varint(timers[i].id);
                  writer.Varint(timers[i].interval_ms);
                }
                int open = 0;
                for (int device = 1; device < DeviceSlots; ++device)
                  open += state.device_open[device];
                writer.Varint(static_cast<std::uint64_t>(open));
                for (int device = 1; device < DeviceSlots; ++device) {
                  if (!state.device_open[device]) continue;
                  writer.Byte(static_cast<std::uint8_t>(device));
                  writer.Varint(state.device_sectors[device]);
                }
                writer.Bytes(bytes, size);
                state.state_wanted.store(false, std::memory_order_relaxed);
                state.state_kept = true;
                state.last_state_ms = state.last_event_ms;
                kept = true;
                return static_cast<std::size_t>(writer.at - out);
              });
  return kept;
}

void RecordCardFile(const char* path, bool written, bool ok, int folder, const char* name) {
  if (!Recording() || path == nullptr) return;
  std::uint8_t content[RecordingMaxCardFileBytes];
  ssize_t length = 0;
  struct stat status {};
  const int fd = ok ? openat(folder, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC) : -1;
  if (fd != -1 && fstat(fd, &status) == 0 && status.st_size <= off_t{sizeof content}) {
    length = std::max<ssize_t>(pread(fd, content, sizeof content, 0), 0);
  }
  if (fd != -1) close(fd);
  const std::size_t path_length = std::min<std::size_t>(std::strlen(path), 512);
  AppendEvent(EventStartBytes + 3 * MaxVarintBytes + path_length + 2 + length,
              [&](RecorderState& state, std::uint8_t* out) {
                EventWriter writer = StartEvent(state, out, EventKind::Card);
                writer.Bytes(path, path_length);
                writer.Byte(written ? 1 : 0);
                writer.Byte(ok ? 1 : 0);
                writer.Varint(static_cast<std::uint64_t>(status.st_size));
                writer.Bytes(content, static_cast<std::size_t>(length));
                return static_cast<std::size_t>(writer.at - out);
              });
}

}  // namespace platform
