// The clocks: real (steady clock and the host's local time) or, during a virtual run, the
// scheduler's virtual milliseconds and the local time the test set plus the virtual time since.
#include <chrono>
#include <ctime>

#include "platform/core/civil_time.h"
#include "platform/core/core_state.h"
#include "platform/core/scheduler.h"
#include "platform/internal/module_interfaces.h"

namespace platform {

using core::Core;

bool VirtualTimeActive() { return Core().virtual_active.load(); }

std::int64_t NowMs() {
  if (VirtualTimeActive()) return Core().virtual_now_ms.load();
  auto since_epoch = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count();
}

}  // namespace platform

DWORD GetTickCount() { return static_cast<DWORD>(platform::NowMs()); }

void GetLocalTime(SYSTEMTIME* time) {
  using namespace platform::core;
  if (time == nullptr) return;
  if (platform::VirtualTimeActive()) {
    std::lock_guard<std::mutex> lock(Core().mutex);
    const VirtualRun& run = Core().run;
    *time =
        CivilTime(run.local_time_base_ms + Core().virtual_now_ms.load() - run.local_time_set_at_ms);
    platform::RecordLocalTime(*time);
    return;
  }
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  std::tm local{};
  localtime_r(&seconds, &local);
  time->wYear = static_cast<WORD>(local.tm_year + 1900);
  time->wMonth = static_cast<WORD>(local.tm_mon + 1);
  time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time->wDay = static_cast<WORD>(local.tm_mday);
  time->wHour = static_cast<WORD>(local.tm_hour);
  time->wMinute = static_cast<WORD>(local.tm_min);
  time->wSecond = static_cast<WORD>(local.tm_sec);
  time->wMilliseconds = static_cast<WORD>(((ms % 1000) + 1000) % 1000);
  platform::RecordLocalTime(*time);
}

void Sleep(DWORD ms) {
  using namespace platform::core;
  constexpr DWORD kInfinite = 0xFFFFFFFF;
  if (platform::VirtualTimeActive()) {
    if (ThreadState* me = CurrentThread(); me != nullptr) {
      {
        std::unique_lock<std::mutex> lock(Core().mutex);
        std::int64_t until = ms == kInfinite || Core().run.timed_waits_held
                                 ? kNever
                                 : Core().virtual_now_ms.load() + ms;
        VirtualWait(lock, me, WaitKind::Sleep, until);
      }
      platform::RecordSleepEnded(me->index);
      return;
    }
    // The controller and helper threads are outside the run: they sleep in real time.
  }
  if (ms == 0) {
    std::this_thread::yield();
  } else {
    do {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms == kInfinite ? 3'600'000 : ms));
    } while (ms == kInfinite);
  }
  // Where a sleep ends among the other threads' events decides what a replay must reproduce.
  if (!platform::VirtualTimeActive()) platform::RecordSleepEnded(ProgramThreadNumber());
}
