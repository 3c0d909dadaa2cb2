// The baton scheduler of virtual runs (see scheduler.h).
#include "platform/core/scheduler.h"

#include <algorithm>

#include "platform/internal/module_interfaces.h"

namespace platform::core {

namespace {

// When a blocked thread has something to do without being woken.
std::int64_t DeadlineOf(const ThreadState& thread) {
  switch (thread.waiting) {
    case WaitKind::Sleep:
      return thread.wake_at_ms;
    case WaitKind::Message: {
      std::int64_t deadline = thread.wake_at_ms;
      for (const Timer& timer : thread.timers) {
        if (thread.wait_filter.Matches(timer.window, WM_TIMER)) {
          deadline = std::min(deadline, timer.due_ms);
        }
      }
      return deadline;
    }
    default:
      return kNever;
  }
}

bool Blocked(const ThreadState& thread) {
  return thread.waiting != WaitKind::None && !thread.ready && !thread.finished && !thread.parked;
}

void GiveBatonToController(VirtualRun& run) {
  run.baton = nullptr;
  run.controller_has_baton = true;
  run.controller_wakeup.notify_all();
}

// Lock held, called by the baton's holder as it gives the baton up.
void PassBaton() {
  CoreState& core = Core();
  VirtualRun& run = core.run;
  for (;;) {
    if (run.stop_when_main_returns && run.main_returned) break;
    if (!run.ready.empty()) {
      ThreadState* next = run.ready.front();
      run.ready.pop_front();
      next->ready = false;
      run.baton = next;
      next->wakeup.notify_all();
      return;
    }
    std::int64_t next_due = kNever;
    for (const auto& thread : run.threads) {
      if (Blocked(*thread)) next_due = std::min(next_due, DeadlineOf(*thread));
    }
    std::int64_t now = core.virtual_now_ms.load();
    if (next_due == kNever || next_due > run.run_until_ms) {
      if (run.run_until_ms != kNever && run.run_until_ms > now) {
        core.virtual_now_ms.store(run.run_until_ms);
      }
      break;
    }
    if (next_due > now) core.virtual_now_ms.store(next_due);
    now = core.virtual_now_ms.load();
    for (const auto& thread : run.threads) {
      if (Blocked(*thread) && DeadlineOf(*thread) <= now) {
        thread->ready = true;
        run.ready.push_back(thread.get());
      }
    }
  }
  GiveBatonToController(run);
}

[[noreturn]] void Park(std::unique_lock<std::mutex>& lock, ThreadState* me) {
  me->parked = true;
  Core().run.controller_wakeup.notify_all();
  static auto* never_signalled = new std::condition_variable;
  for (;;) never_signalled->wait(lock);
}

// The thread function returned. Its windows stay until the run ends, as a process keeps them
// until it exits after its main thread returned; nothing is delivered to them any more, and what
// is sent to them is answered with 0.
void FinishRunThread(ThreadState* me, DWORD result) {
  std::lock_guard<std::mutex> lock(Core().mutex);
  VirtualRun& run = Core().run;
  me->finished = true;
  me->waiting = WaitKind::None;
  AnswerSentMessagesLocked(me);
  if (me->index == 0) {
    run.main_returned = true;
    run.main_result = static_cast<int>(result);
  }
  PassBaton();
}

void RunThreadBody(ThreadState* me, const std::function<DWORD()>& body) {
  run_thread_state = me;
  {
    std::unique_lock<std::mutex> lock(Core().mutex);
    VirtualRun& run = Core().run;
    me->wakeup.wait(lock, [&] { return run.baton == me || run.ending; });
    if (run.ending) {
      me->finished = true;
      run.controller_wakeup.notify_all();
      return;
    }
  }
  FinishRunThread(me, body());
}

}  // namespace

void VirtualWait(std::unique_lock<std::mutex>& lock, ThreadState* me, WaitKind kind,
                 std::int64_t deadline_ms) {
  VirtualRun& run = Core().run;
  me->waiting = kind;
  me->wake_at_ms = deadline_ms;
  PassBaton();
  me->wakeup.wait(lock, [&] { return run.baton == me || run.ending; });
  if (run.ending) Park(lock, me);
  me->waiting = WaitKind::None;
  me->wake_at_ms = kNever;
}

void RunThreadsUntil(std::unique_lock<std::mutex>& lock, std::int64_t until_ms,
                     bool stop_when_main_returns) {
  VirtualRun& run = Core().run;
  run.run_until_ms = until_ms;
  run.stop_when_main_returns = stop_when_main_returns;
  run.controller_has_baton = false;
  PassBaton();
  run.controller_wakeup.wait(lock, [&] { return run.controller_has_baton; });
}

ThreadState* StartRunThread(std::function<DWORD()> body) {
  auto owned = std::make_unique<ThreadState>();
  ThreadState* state = owned.get();
  state->in_run = true;
  std::lock_guard<std::mutex> lock(Core().mutex);
  VirtualRun& run = Core().run;
  state->index = static_cast<int>(run.threads.size());
  try {
    // The new thread blocks on the lock held here until it is in the run.
    state->thread = std::thread(RunThreadBody, state, std::move(body));
  } catch (const std::system_error&) {
    return nullptr;
  }
  run.threads.push_back(std::move(owned));
  state->ready = true;
  run.ready.push_back(state);
  return state;
}

void StopRunThreads(std::unique_lock<std::mutex>& lock, std::vector<HWND>* removed) {
  VirtualRun& run = Core().run;
  run.ending = true;
  for (const auto& thread : run.threads) thread->wakeup.notify_all();
  run.controller_wakeup.wait(lock, [&] {
    return std::all_of(run.threads.begin(), run.threads.end(),
                       [](const auto& thread) { return thread->finished || thread->parked; });
  });
  for (const auto& thread : run.threads) ReleaseThreadLocked(thread.get(), removed);
  std::vector<std::unique_ptr<ThreadState>> threads;
  threads.swap(run.threads);
  run.ready.clear();
  lock.unlock();
  for (const auto& thread : threads) {
    if (thread->parked) {
      thread->thread.detach();
    } else {
      thread->thread.join();
    }
  }
  lock.lock();
}

}  // namespace platform::core
