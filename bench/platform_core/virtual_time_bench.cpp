// Virtual seconds per wall second of the core's scheduler, for the program's own pattern: a main
// thread with a 400 ms timer and a second thread whose hidden window ticks every 50 ms, each
// posting to the other at every tick. Beside it, a memcpy of the messages' bytes that one virtual
// minute moves, measured in the same run.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "platform/testing.h"
#include "platform/testing_display.h"
#include "platform/win32.h"

namespace {

constexpr std::int64_t kVirtualMinuteMs = 60'000;
constexpr UINT kFromLink = WM_USER + 3;
constexpr UINT kFromMain = WM_USER + 4;

std::atomic<HWND> main_window{nullptr};
std::atomic<HWND> link_window{nullptr};
std::atomic<long> messages{0};

int RunMessageLoop() {
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ++messages;
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

// Both windows renew their timer at every tick, as the program's handlers do.
LRESULT RenewAndPost(HWND window, UINT id, UINT interval, HWND peer, UINT message) {
  KillTimer(window, id);
  SetTimer(window, id, interval, nullptr);
  if (peer != nullptr) PostMessageW(peer, message, 0, 0);
  return 0;
}

LRESULT MainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_TIMER) return RenewAndPost(window, 1, 400, link_window, kFromMain);
  return DefWindowProcW(window, message, w, l);
}

LRESULT LinkWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_TIMER) return RenewAndPost(window, 20, 50, main_window, kFromLink);
  return DefWindowProcW(window, message, w, l);
}

HWND MakeWindow(LPCWSTR name, WNDPROC procedure) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = procedure;
  window_class.lpszClassName = name;
  RegisterClassW(&window_class);
  return CreateWindowExW(0, name, name, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

DWORD LinkThread(LPVOID) {
  link_window = MakeWindow(u"Link", LinkWindowProc);
  SetTimer(link_window, 20, 50, nullptr);
  return static_cast<DWORD>(RunMessageLoop());
}

int MainThread() {
  main_window = MakeWindow(u"Main", MainWindowProc);
  SetTimer(main_window, 1, 400, nullptr);
  CloseHandle(CreateThread(nullptr, 0, LinkThread, nullptr, 0, nullptr));
  return RunMessageLoop();
}

void BM_VirtualMinuteOfTwoThreads(benchmark::State& state) {
  platform::testing::ForceHeadlessDisplay();
  platform::StartVirtualRun(platform::LocalTime(2024, 3, 1, 12, 0, 0));
  platform::SetTraceRecording(false);
  platform::StartMainThread(MainThread);
  platform::AdvanceVirtualTime(0);
  messages = 0;
  for (auto _ : state) platform::AdvanceVirtualTime(kVirtualMinuteMs);
  platform::EndVirtualRun();
  state.counters["virtual_s_per_wall_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kVirtualMinuteMs / 1000,
                         benchmark::Counter::kIsRate);
  state.counters["messages_per_virtual_minute"] =
      static_cast<double>(messages) / static_cast<double>(state.iterations());
  state.SetBytesProcessed(messages * static_cast<std::int64_t>(sizeof(MSG)));
}

// The messages of one virtual minute: 1200 link ticks and their posts, 150 main ticks and theirs.
void BM_MemcpyMessagesOfAVirtualMinute(benchmark::State& state) {
  const std::size_t bytes = (1200 + 1200 + 150 + 150) * sizeof(MSG);
  std::vector<unsigned char> source(bytes, 0x5A);
  std::vector<unsigned char> target(bytes);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), bytes);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

}  // namespace

BENCHMARK(BM_MemcpyMessagesOfAVirtualMinute);
BENCHMARK(BM_VirtualMinuteOfTwoThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
