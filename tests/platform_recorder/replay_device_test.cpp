// The replay on a small hand-made recording and a small program: a program that does what was
// recorded replays with no difference; one that writes another packet, reads another place or
// stops calling is caught at the first difference, with its time and both byte strings; recorded
// input reaches the recorded window at its recorded time; a message handled on another thread
// before a write, as recorded, is handled before it in the replay too.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/replay.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "tests/platform_devices/sector_transfer.h"

namespace {

using platform::RecordedEvent;
using platform::RecordedKind;

constexpr std::int64_t StartMs = 1'000'000;

std::vector<std::uint8_t> Sector(std::uint8_t first) {
  std::vector<std::uint8_t> bytes(512);
  bytes[0] = first;
  return bytes;
}

RecordedEvent Transfer(std::int64_t ms, bool write, std::uint64_t sector, std::uint8_t first) {
  RecordedEvent event{};
  event.kind = RecordedKind::Transfer;
  event.ms = StartMs + ms;
  event.device = 1;
  event.write = write;
  event.sector = sector;
  event.sector_count = 1;
  event.ok = true;
  event.moved = 512;
  event.data = Sector(first);
  return event;
}

RecordedEvent Wake(std::int64_t ms) {
  RecordedEvent event{};
  event.kind = RecordedKind::Wake;
  event.ms = StartMs + ms;
  return event;
}

// Opens DSK1, then every 100 ms (a Sleep of the main thread) reads sector 5 and writes what it
// read plus `step` into sector 6.
platform::Recording RecordedExchange() {
  platform::Recording recording;
  recording.replayable = true;
  recording.start_ms = StartMs;
  RecordedEvent open{};
  open.kind = RecordedKind::Open;
  open.ms = StartMs;
  open.device = 1;
  open.ok = true;
  open.sector = 64;
  recording.events.push_back(open);
  for (int i = 0; i < 5; ++i) {
    recording.events.push_back(Wake(100 * (i + 1)));
    recording.events.push_back(Transfer(100 * (i + 1), false, 5, static_cast<std::uint8_t>(i)));
    recording.events.push_back(Transfer(100 * (i + 1), true, 6, static_cast<std::uint8_t>(i + 1)));
  }
  return recording;
}

struct Behaviour {
  std::uint8_t step;          // what the program adds to the byte it read
  std::uint64_t read_sector;  // where it reads
  int exchanges;              // how many it makes
};

Behaviour program;

int ExchangeProgram() {
  const HANDLE device =
      CreateFileW(W("DSK1:"), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (device == INVALID_HANDLE_VALUE) return 1;
  for (int i = 0; i < program.exchanges; ++i) {
    Sleep(100);
    std::uint8_t sector[512] = {};
    ReadSectors(device, static_cast<DWORD>(program.read_sector), 1, sector);
    sector[0] = static_cast<std::uint8_t>(sector[0] + program.step);
    WriteSectors(device, 6, 1, sector);
  }
  Sleep(0xFFFFFFFF);  // for ever: the run ends around it
  return 0;
}

struct ReplayCase {
  const char* name;
  Behaviour behaviour;
  bool differs;
  std::int64_t difference_ms;
  const char* difference_starts;
};

const ReplayCase Cases[] = {
    {"as recorded", {1, 5, 5}, false, 0, ""},
    {"another packet",
     {2, 5, 5},
     true,
     100,
     "the program wrote other bytes in a write of 1 sector(s) at 6 on DSK1:"},
    {"another sector read",
     {1, 7, 5},
     true,
     100,
     "the program made a read of 1 sector(s) at 7 on DSK1:; the recording has a read of 1 "
     "sector(s) at 5"},
    {"stops early", {1, 5, 3}, true, 400, "the program did not make a read of 1 sector(s) at 5"},
};

TEST(ReplayDeviceTest, FirstDifferenceIsReportedWithItsTimeAndBytes) {
  const platform::Recording recording = RecordedExchange();
  for (const ReplayCase& test : Cases) {
    program = test.behaviour;
    platform::ReplayOptions options;
    options.card_folder = std::filesystem::temp_directory_path();
    const platform::ReplayResult result =
        platform::ReplayRecording(recording, ExchangeProgram, options);
    EXPECT_EQ(result.differs, test.differs) << test.name << ": " << result.difference;
    if (!test.differs) {
      EXPECT_EQ(result.writes_compared, 5u) << test.name;
      EXPECT_EQ(result.reads_answered, 5u) << test.name;
      continue;
    }
    EXPECT_EQ(result.difference_ms, test.difference_ms) << test.name;
    EXPECT_EQ(result.difference.rfind(test.difference_starts, 0), 0u)
        << test.name << ": " << result.difference;
    if (test.behaviour.step != 1) {
      EXPECT_EQ(result.recorded_bytes, Sector(1)) << test.name;
      EXPECT_EQ(result.program_bytes, Sector(2)) << test.name;
    }
  }
}

// Two threads that share a value: the link-like thread reads, posts to the main thread, then
// writes the value, which the main thread sets when it handles the message. The recording has
// the message handled before the write, so the replay must let the main thread run between the
// post and the write, though the poster would otherwise run on.
constexpr UINT SetValueMessage = WM_USER + 7;
std::uint8_t shared_value = 0;
HWND value_window = nullptr;

LRESULT ValueWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == SetValueMessage) shared_value = 0x77;
  return DefWindowProcW(window, message, wparam, lparam);
}

DWORD PostThenWrite(LPVOID) {
  const HANDLE device =
      CreateFileW(W("DSK1:"), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Sleep(100);
  std::uint8_t sector[512] = {};
  ReadSectors(device, 5, 1, sector);
  PostMessageW(value_window, SetValueMessage, 0, 0);
  sector[0] = shared_value;
  WriteSectors(device, 6, 1, sector);
  Sleep(0xFFFFFFFF);
  return 0;
}

int ValueProgram() {
  shared_value = 0;
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = ValueWindowProc;
  window_class.lpszClassName = W("ValueMain");
  RegisterClassW(&window_class);
  value_window = CreateWindowExW(0, W("ValueMain"), W("ValueMain"), WS_POPUP, 0, 0, 1, 1, nullptr,
                                 nullptr, nullptr, nullptr);
  CreateThread(nullptr, 0, PostThenWrite, nullptr, 0, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
  return 0;
}

// The exchange above as recorded: the message handled before the write, which wrote `value`;
// when the handler was seen at work after the write (a window shown), it set the value too late.
platform::Recording PostedExchange(std::uint8_t value, bool shown_after_write) {
  platform::Recording recording = RecordedExchange();
  recording.events.resize(1);  // the open
  RecordedEvent wake = Wake(100);
  wake.thread = 1;
  recording.events.push_back(wake);
  recording.events.push_back(Transfer(100, false, 5, 0));
  RecordedEvent handled{};
  handled.kind = RecordedKind::Message;
  handled.ms = StartMs + 100;
  handled.text = "ValueMain";
  handled.message = SetValueMessage;
  recording.events.push_back(handled);
  recording.events.push_back(Transfer(100, true, 6, value));
  if (shown_after_write) {
    RecordedEvent shown{};
    shown.kind = RecordedKind::Shown;
    shown.ms = StartMs + 100;
    shown.text = "ValueMain";
    recording.events.push_back(shown);
  }
  return recording;
}

TEST(ReplayDeviceTest, WriteAfterAMessageHandledOnAnotherThreadSeesItsEffect) {
  platform::ReplayOptions options;
  options.card_folder = std::filesystem::temp_directory_path();
  for (const bool late : {false, true}) {
    const platform::ReplayResult result =
        platform::ReplayRecording(PostedExchange(late ? 0x00 : 0x77, late), ValueProgram, options);
    EXPECT_FALSE(result.differs) << (late ? "handler late: " : "") << result.difference;
    EXPECT_EQ(result.writes_compared, 1u);
  }
}

}  // namespace
