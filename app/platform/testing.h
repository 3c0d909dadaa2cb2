// Virtual-time runs for tests: the program's threads run on a virtual clock under a deterministic
// scheduler, so that a minute of driving takes milliseconds and the same scenario gives the same
// trace every time.
//
// The test's own thread is the controller. It starts a run, starts the program's main thread,
// and then lets time pass in steps; between steps every platform thread stands still, and the
// controller may post messages, inject input through the display, set the local time and read
// the trace. A typical test:
//
//   platform::VirtualRunScope run(platform::LocalTime(2024, 3, 1, 12, 0, 0));
//   platform::StartMainThread([] { return AppMain(nullptr, nullptr, nullptr, 5); });
//   platform::AdvanceVirtualTime(60'000);            // one virtual minute
//   PostMessageW(window, WM_CLOSE, 0, 0);           // from the controller
//   int exit_code = -1;
//   ASSERT_TRUE(platform::RunUntilMainReturns(1000, &exit_code));
//
// Threads: the main thread is number 0, threads from CreateThread are 1, 2 ... in the order of
// their creation. A thread runs until it blocks (GetMessageW with nothing due, Sleep, MessageBoxW
// waiting, SendMessageW waiting for another thread); when all are blocked, virtual time jumps to
// the earliest timer or sleep end. A thread that never blocks holds up the run; so does one that
// waits on a lock of its own held by a thread that is blocked in the platform.
//
// Ending a run: blocked threads never return into the program. Their blocking call parks them for
// good (they are detached and sleep until the process ends), because the program's loops
// (`while (GetMessageW(...))`, a probe loop around Sleep) would otherwise run on into the next
// test. The run's windows, classes, timers, accelerator tables and kernel handles are dropped
// without calling any window procedure, and the modules' run-end handlers reset their state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform {

// The calls that run or end a run act for the controller only; from a run thread they do nothing
// and report failure, since that thread holds the baton they would wait for.

// A local date and time for the virtual clock; the day of the week is worked out.
SYSTEMTIME LocalTime(int year, int month, int day, int hour, int minute, int second);

// Starts a virtual run whose local clock reads local_time at virtual 0 ms. Fails (false) while a
// run is active. The calling thread becomes the controller.
bool StartVirtualRun(const SYSTEMTIME& local_time);
// Starts body as the program's main thread (number 0); call it before any CreateThread. It runs
// from the next AdvanceVirtualTime or RunUntilMainReturns.
bool StartMainThread(std::function<int()> body);
// Runs the platform threads until virtual time reaches now + ms with every thread blocked.
void AdvanceVirtualTime(std::int64_t ms);
// Runs until the main thread has returned, at most until now + bound_ms; true when it returned,
// with its result in *result (which may be null).
bool RunUntilMainReturns(std::int64_t bound_ms, int* result);
// Virtual milliseconds since the run started.
std::int64_t VirtualNowMs();
// From now on GetLocalTime reads local_time plus the virtual time that passes.
void SetVirtualLocalTime(const SYSTEMTIME& local_time);

// Replays: from now on the run's timers fire and its Sleeps end only when the controller
// releases them (then at the next advance), never by the clock, so that they come in the order a
// recording kept.
void HoldTimedWaits();
// The timer with that id of a window of that class (UTF-8; "" for a thread timer) fires; false
// when no thread of the run has it.
bool ReleaseTimer(const std::string& window_class, std::uint64_t id);
// The number of the run's thread that has that timer; -1 when none has it.
int TimerThread(const std::string& window_class, std::uint64_t id);
// The Sleep of the run's thread number `thread` ends; false when that thread is not in a Sleep.
bool ReleaseSleep(int thread);

// The trace: the core records every DispatchMessageW as "<window class> <message> <wParam>
// <lParam>" (e.g. "QUELT_VER120 WM_TIMER 1 0"); anything may add entries with TraceEvent. Entries
// made by the controller have thread -1. Only recorded during a run; kept until the next one.
struct TraceEntry {
  std::int64_t ms;
  int thread;
  std::string text;
};
void TraceEvent(const std::string& text);
// Recording is on at the start of every run; long runs (benchmarks) may turn it off.
void SetTraceRecording(bool on);
std::vector<TraceEntry> VirtualTrace();
// One entry a line, "<ms> t<thread> <text>", for comparing runs and for failure messages.
std::string FormatTrace(const std::vector<TraceEntry>& trace);

// What the platform holds alive, for long runs that watch for leaks: windows, device contexts,
// bitmaps and fonts, open kernel handles (threads, block devices), and the timers and posted
// messages of the run's threads.
struct LiveObjectCounts {
  std::size_t windows;
  std::size_t device_contexts;
  std::size_t bitmaps;
  std::size_t fonts;
  std::size_t kernel_handles;
  std::size_t timers;
  std::size_t posted_messages;
};
LiveObjectCounts CountLiveObjects();

// Ends the run and drops its platform state (see above). Does nothing when no run is active.
void EndVirtualRun();

// Starts a run and ends it on leaving the scope, also when a test fails half-way.
class VirtualRunScope {
 public:
  explicit VirtualRunScope(const SYSTEMTIME& local_time) : started_(StartVirtualRun(local_time)) {}
  ~VirtualRunScope() {
    if (started_) EndVirtualRun();
  }
  VirtualRunScope(const VirtualRunScope&) = delete;
  VirtualRunScope& operator=(const VirtualRunScope&) = delete;
  bool started() const { return started_; }

 private:
  bool started_;
};

}  // namespace platform
