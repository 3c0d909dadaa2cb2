// Per-window and per-thread timers. A timer is not a queued message: the owning thread's message
// wait produces WM_TIMER from it when it is due and no posted message waits.
#include <algorithm>
#include <vector>

#include "platform/core/message_queue.h"
#include "platform/internal/module_interfaces.h"

namespace platform::core {

namespace {

// Win32 clamps intervals to 10 ms; a shorter one would keep a thread busy at one instant.
constexpr UINT kMinimumIntervalMs = 10;
constexpr UINT kMaximumIntervalMs = 0x7FFFFFFF;

Timer* FindTimerLocked(ThreadState* me, HWND window, UINT_PTR id) {
  auto found = std::find_if(me->timers.begin(), me->timers.end(), [&](const Timer& timer) {
    return timer.window == window && timer.id == id;
  });
  return found == me->timers.end() ? nullptr : &*found;
}

// The window as its owner sees it, when the caller owns it; null window passes as null.
bool ResolveOwnWindowLocked(ThreadState* me, HWND* window) {
  if (*window == nullptr) return true;
  Window* found = FindWindowLocked(*window);
  if (found == nullptr || found->owner != me) return false;
  *window = found->handle;
  return true;
}

}  // namespace

bool TakeDueTimerLocked(ThreadState* me, const MessageFilter& filter, std::int64_t now_ms,
                        MSG* msg) {
  Timer* due = nullptr;
  for (Timer& timer : me->timers) {
    if (timer.due_ms > now_ms || !filter.Matches(timer.window, WM_TIMER)) continue;
    if (due == nullptr || timer.due_ms < due->due_ms) due = &timer;
  }
  if (due == nullptr) return false;
  *msg = MSG{due->window,
             WM_TIMER,
             due->id,
             reinterpret_cast<LPARAM>(due->proc),
             static_cast<DWORD>(now_ms),
             POINT{0, 0}};
  if (Core().run.timed_waits_held) {
    due->due_ms = kNever;
  } else {
    due->due_ms += (now_ms - due->due_ms) / due->interval_ms * due->interval_ms + due->interval_ms;
  }
  return true;
}

std::int64_t NextTimerDueLocked(const ThreadState* me, const MessageFilter& filter) {
  std::int64_t next = kNever;
  for (const Timer& timer : me->timers) {
    if (filter.Matches(timer.window, WM_TIMER)) next = std::min(next, timer.due_ms);
  }
  return next;
}

TIMERPROC LiveTimerProcLocked(const ThreadState* me, HWND window, UINT_PTR id, LPARAM proc) {
  for (const Timer& timer : me->timers) {
    if (timer.window == window && timer.id == id && reinterpret_cast<LPARAM>(timer.proc) == proc) {
      return timer.proc;
    }
  }
  return nullptr;
}

}  // namespace platform::core

namespace platform {

void ForEachOwnTimer(const std::function<void(HWND, UINT_PTR, UINT)>& visit) {
  std::vector<core::Timer> timers;
  if (core::ThreadState* me = core::CurrentThread(); me != nullptr) {
    std::lock_guard<std::mutex> lock(core::Core().mutex);
    timers = me->timers;
  }
  for (const core::Timer& timer : timers) {
    if (timer.proc == nullptr) visit(timer.window, timer.id, timer.interval_ms);
  }
}

bool MessageWaitsForCallingThread() {
  core::ThreadState* me = core::CurrentThread();
  if (me == nullptr) return false;
  std::lock_guard<std::mutex> lock(core::Core().mutex);
  return !me->posted.empty() || !me->sent.empty();
}

}  // namespace platform

using namespace platform::core;

// Only the thread that owns the window may set or kill its timers, as in Win32.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
  ThreadState* me = CurrentThread();
  if (me == nullptr) return 0;
  std::lock_guard<std::mutex> lock(Core().mutex);
  if (!ResolveOwnWindowLocked(me, &window)) return 0;
  UINT interval = std::clamp(elapse_ms, kMinimumIntervalMs, kMaximumIntervalMs);
  std::int64_t due = Core().run.timed_waits_held ? kNever : platform::NowMs() + interval;
  // A thread timer keeps its id when the caller names one it has; otherwise it gets a new one.
  if (window == nullptr && FindTimerLocked(me, nullptr, id) == nullptr) {
    do {
      id = Core().next_thread_timer_id++;
    } while (id == 0 || FindTimerLocked(me, nullptr, id) != nullptr);
  }
  if (Timer* timer = FindTimerLocked(me, window, id); timer != nullptr) {
    *timer = Timer{window, id, interval, due, proc};
  } else {
    me->timers.push_back(Timer{window, id, interval, due, proc});
  }
  return id != 0 ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  ThreadState* me = CurrentThread();
  if (me == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(Core().mutex);
  if (!ResolveOwnWindowLocked(me, &window)) return FALSE;
  Timer* timer = FindTimerLocked(me, window, id);
  if (timer == nullptr) return FALSE;
  me->timers.erase(me->timers.begin() + (timer - me->timers.data()));
  return TRUE;
}
