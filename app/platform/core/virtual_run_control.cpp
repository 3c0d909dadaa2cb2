// The controller's side of virtual runs (testing.h): starting and ending runs, letting time pass,
// the local clock and the trace.
#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "platform/core/accelerator_tables.h"
#include "platform/core/civil_time.h"
#include "platform/core/kernel_handle_table.h"
#include "platform/core/scheduler.h"
#include "platform/internal/module_interfaces.h"
#include "platform/testing.h"

namespace platform {

using namespace core;

namespace {

std::mutex& HandlersMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

std::vector<void (*)()>& RunEndHandlers() {
  static auto* handlers = new std::vector<void (*)()>;
  return *handlers;
}

void ResetRunLocked(VirtualRun& run) {
  run.ready.clear();
  run.baton = nullptr;
  run.controller_has_baton = true;
  run.run_until_ms = 0;
  run.stop_when_main_returns = false;
  run.main_returned = false;
  run.main_result = 0;
  run.ending = false;
  run.local_time_base_ms = 0;
  run.local_time_set_at_ms = 0;
  run.kernel_handle_watermark = 0;
  run.controller = std::thread::id();
  run.timed_waits_held = false;
}

// Classes go with the run, except those that windows outside the run still use.
void DropUnusedClassesLocked() {
  auto& classes = Core().classes;
  auto in_use = [](const std::unique_ptr<WindowClass>& window_class) {
    for (const auto& [value, window] : Core().windows) {
      if (window.window_class == window_class.get()) return true;
    }
    return false;
  };
  classes.erase(std::remove_if(classes.begin(), classes.end(),
                               [&](const auto& window_class) { return !in_use(window_class); }),
                classes.end());
}

// These calls act for the controller only: a run thread that called one would wait for the
// baton it holds.
bool IsControllerLocked() {
  return Core().virtual_active.load() && std::this_thread::get_id() == Core().run.controller;
}

}  // namespace

void AddRunEndHandler(void (*handler)()) {
  std::lock_guard<std::mutex> lock(HandlersMutex());
  RunEndHandlers().push_back(handler);
}

SYSTEMTIME LocalTime(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  time.wHour = static_cast<WORD>(hour);
  time.wMinute = static_cast<WORD>(minute);
  time.wSecond = static_cast<WORD>(second);
  return CivilTime(CivilMs(time));
}

bool StartVirtualRun(const SYSTEMTIME& local_time) {
  CoreState& core = Core();
  std::lock_guard<std::mutex> lock(core.mutex);
  if (core.virtual_active.load()) return false;
  ResetRunLocked(core.run);
  core.run.controller = std::this_thread::get_id();
  core.run.kernel_handle_watermark = KernelHandleWatermark();
  core.run.local_time_base_ms = CivilMs(local_time);
  core.trace.clear();
  core.trace_recording.store(true);
  core.virtual_now_ms.store(0);
  core.virtual_active.store(true);
  return true;
}

bool StartMainThread(std::function<int()> body) {
  {
    std::lock_guard<std::mutex> lock(Core().mutex);
    if (!IsControllerLocked() || !Core().run.threads.empty() || !body) return false;
  }
  return StartRunThread([body = std::move(body)] { return static_cast<DWORD>(body()); }) != nullptr;
}

void AdvanceVirtualTime(std::int64_t ms) {
  std::unique_lock<std::mutex> lock(Core().mutex);
  if (!IsControllerLocked()) return;
  RunThreadsUntil(lock, Core().virtual_now_ms.load() + std::max<std::int64_t>(ms, 0), false);
}

bool RunUntilMainReturns(std::int64_t bound_ms, int* result) {
  std::unique_lock<std::mutex> lock(Core().mutex);
  VirtualRun& run = Core().run;
  if (!IsControllerLocked()) return false;
  if (!run.main_returned) {
    RunThreadsUntil(lock, Core().virtual_now_ms.load() + std::max<std::int64_t>(bound_ms, 0), true);
  }
  if (run.main_returned && result != nullptr) *result = run.main_result;
  return run.main_returned;
}

std::int64_t VirtualNowMs() { return Core().virtual_now_ms.load(); }

void SetVirtualLocalTime(const SYSTEMTIME& local_time) {
  std::lock_guard<std::mutex> lock(Core().mutex);
  Core().run.local_time_base_ms = CivilMs(local_time);
  Core().run.local_time_set_at_ms = Core().virtual_now_ms.load();
}

void HoldTimedWaits() {
  std::lock_guard<std::mutex> lock(Core().mutex);
  if (!IsControllerLocked()) return;
  Core().run.timed_waits_held = true;
  for (const auto& thread : Core().run.threads) {
    for (Timer& timer : thread->timers) timer.due_ms = kNever;
    if (thread->waiting == WaitKind::Sleep) thread->wake_at_ms = kNever;
  }
}

namespace {

// The run's timer of a window of that class ("" for a thread timer) with that id, and its
// thread; null when none.
Timer* FindRunTimerLocked(const std::string& window_class, std::uint64_t id, int* thread_index) {
  for (const auto& thread : Core().run.threads) {
    for (Timer& timer : thread->timers) {
      const Window* window = FindWindowLocked(timer.window);
      const std::string name = window ? Utf8FromWide(window->window_class->name) : "";
      if (timer.id == id && name == window_class) {
        *thread_index = thread->index;
        return &timer;
      }
    }
  }
  return nullptr;
}

}  // namespace

bool ReleaseTimer(const std::string& window_class, std::uint64_t id) {
  std::lock_guard<std::mutex> lock(Core().mutex);
  int thread = -1;
  Timer* timer = IsControllerLocked() ? FindRunTimerLocked(window_class, id, &thread) : nullptr;
  if (timer != nullptr) timer->due_ms = Core().virtual_now_ms.load();
  return timer != nullptr;
}

int TimerThread(const std::string& window_class, std::uint64_t id) {
  std::lock_guard<std::mutex> lock(Core().mutex);
  int thread = -1;
  FindRunTimerLocked(window_class, id, &thread);
  return thread;
}

bool ReleaseSleep(int thread) {
  std::lock_guard<std::mutex> lock(Core().mutex);
  if (!IsControllerLocked()) return false;
  auto& threads = Core().run.threads;
  if (thread < 0 || static_cast<std::size_t>(thread) >= threads.size()) return false;
  ThreadState& sleeper = *threads[static_cast<std::size_t>(thread)];
  if (sleeper.waiting != WaitKind::Sleep || sleeper.ready || sleeper.finished) return false;
  sleeper.wake_at_ms = Core().virtual_now_ms.load();
  return true;
}

void SetTraceRecording(bool on) { Core().trace_recording.store(on); }

void TraceEvent(const std::string& text) {
  if (!VirtualTimeActive() || !Core().trace_recording.load()) return;
  ThreadState* me = CurrentThread();
  std::lock_guard<std::mutex> lock(Core().mutex);
  Core().trace.push_back(
      TraceRecord{Core().virtual_now_ms.load(), me != nullptr ? me->index : -1, text});
}

std::vector<TraceEntry> VirtualTrace() {
  std::lock_guard<std::mutex> lock(Core().mutex);
  std::vector<TraceEntry> trace;
  trace.reserve(Core().trace.size());
  for (const TraceRecord& record : Core().trace) {
    trace.push_back(TraceEntry{record.ms, record.thread, record.text});
  }
  return trace;
}

std::string FormatTrace(const std::vector<TraceEntry>& trace) {
  std::string text;
  char prefix[48];
  for (const TraceEntry& entry : trace) {
    std::snprintf(prefix, sizeof prefix, "%" PRId64 " t%d ", entry.ms, entry.thread);
    text += prefix + entry.text + "\n";
  }
  return text;
}

LiveObjectCounts CountLiveObjects() {
  LiveObjectCounts counts{};
  CountGdiObjects(&counts.device_contexts, &counts.bitmaps, &counts.fonts);
  counts.kernel_handles = KernelHandleCount();
  std::lock_guard<std::mutex> lock(Core().mutex);
  counts.windows = Core().windows.size();
  for (const auto& thread : Core().run.threads) {
    counts.timers += thread->timers.size();
    counts.posted_messages += thread->posted.size();
  }
  return counts;
}

void EndVirtualRun() {
  CoreState& core = Core();
  std::vector<HWND> removed;
  std::uint64_t watermark = 0;
  {
    std::unique_lock<std::mutex> lock(core.mutex);
    if (!IsControllerLocked()) return;
    StopRunThreads(lock, &removed);
    DropUnusedClassesLocked();
    watermark = core.run.kernel_handle_watermark;
  }
  ReportWindowsRemoved(removed);
  ClearAcceleratorTables();
  CloseKernelHandlesSince(watermark);
  std::vector<void (*)()> handlers;
  {
    std::lock_guard<std::mutex> lock(HandlersMutex());
    handlers = RunEndHandlers();
  }
  for (auto handler : handlers) handler();
  std::lock_guard<std::mutex> lock(core.mutex);
  ResetRunLocked(core.run);
  core.virtual_active.store(false);
}

}  // namespace platform
