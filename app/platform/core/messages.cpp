// Message queues: posting, sending (directly on the owning thread, or across threads with the
// sender waiting for the answer), GetMessageW and dispatch.
#include <chrono>
#include <climits>
#include <cstdio>
#include <string>

#include "platform/core/message_queue.h"
#include "platform/core/scheduler.h"
#include "platform/internal/module_interfaces.h"
#include "platform/testing.h"

namespace platform::core {

namespace {

// Win32 refuses posts beyond 10000 queued messages; a stuck consumer then cannot exhaust memory.
constexpr std::size_t kPostedLimit = 10000;

// Handles the oldest message sent to this thread; the lock is released around the procedure.
void DeliverSentLocked(std::unique_lock<std::mutex>& lock, ThreadState* me) {
  std::shared_ptr<SentMessage> sent = me->sent.front();
  me->sent.pop_front();
  lock.unlock();
  LRESULT result = CallWindowProcedure(sent->window, sent->message, sent->wparam, sent->lparam);
  lock.lock();
  sent->result = result;
  sent->done = true;
  (void)Wake(sent->sender);  // a sender waits in the core, never in the display
}

bool TakeNextLocked(ThreadState* me, const MessageFilter& filter, MSG* msg) {
  for (auto it = me->posted.begin(); it != me->posted.end(); ++it) {
    if (filter.Matches(it->hwnd, it->message)) {
      *msg = *it;
      me->posted.erase(it);
      return true;
    }
  }
  std::int64_t now = NowMs();
  if (me->quit_pending && filter.window == nullptr && filter.Matches(nullptr, WM_QUIT)) {
    me->quit_pending = false;
    *msg = MSG{nullptr,    WM_QUIT, static_cast<WPARAM>(me->quit_code), 0, static_cast<DWORD>(now),
               POINT{0, 0}};
    return true;
  }
  for (auto& [value, window] : Core().windows) {
    if (window.owner == me && window.has_update && WindowShownLocked(window) &&
        filter.Matches(window.handle, WM_PAINT)) {
      *msg = MSG{window.handle, WM_PAINT, 0, 0, static_cast<DWORD>(now), POINT{0, 0}};
      return true;
    }
  }
  return TakeDueTimerLocked(me, filter, now, msg);
}

// Real time: waits for a wake, the deadline or the next timer, in the display when this thread
// pumps host events.
void RealWait(std::unique_lock<std::mutex>& lock, ThreadState* me, const MessageFilter& filter,
              std::int64_t deadline_ms, bool pumps_display) {
  std::int64_t until = std::min(deadline_ms, NextTimerDueLocked(me, filter));
  if (pumps_display) {
    std::int64_t timeout =
        until == kNever ? -1 : std::clamp<std::int64_t>(until - NowMs(), 0, INT_MAX);
    me->waiting_in_display = true;
    lock.unlock();
    DisplayWaitEvents(static_cast<int>(timeout));
    lock.lock();
    me->waiting_in_display = false;
  } else if (until == kNever) {
    me->wakeup.wait(lock);
  } else {
    me->wakeup.wait_until(lock,
                          std::chrono::steady_clock::time_point(std::chrono::milliseconds(until)));
  }
}

// The names the trace gives the common messages; others appear as hex numbers.
struct MessageNameEntry {
  UINT message;
  const char* name;
};
constexpr MessageNameEntry kMessageNames[] = {
    {WM_CREATE, "WM_CREATE"},       {WM_DESTROY, "WM_DESTROY"},
    {WM_PAINT, "WM_PAINT"},         {WM_CLOSE, "WM_CLOSE"},
    {WM_QUIT, "WM_QUIT"},           {WM_KEYDOWN, "WM_KEYDOWN"},
    {WM_KEYUP, "WM_KEYUP"},         {WM_CHAR, "WM_CHAR"},
    {WM_COMMAND, "WM_COMMAND"},     {WM_TIMER, "WM_TIMER"},
    {WM_MOUSEMOVE, "WM_MOUSEMOVE"}, {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
    {WM_LBUTTONUP, "WM_LBUTTONUP"}, {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},
    {WM_RBUTTONUP, "WM_RBUTTONUP"},
};

std::string MessageName(UINT message) {
  for (const MessageNameEntry& entry : kMessageNames) {
    if (entry.message == message) return entry.name;
  }
  char number[16];
  std::snprintf(number, sizeof number, "0x%04X", message);
  return number;
}

// "<window class> <message> <wParam> <lParam>", e.g. "QUELT_VER120 WM_TIMER 1 0" or
// "DiskRead 0x0500 0 0"; handles are left out, so that two runs give the same text.
std::string DispatchText(const MSG& msg) {
  std::string target = msg.hwnd != nullptr ? ClassNameOf(msg.hwnd) : std::string("-");
  return target + " " + MessageName(msg.message) + " " + std::to_string(msg.wParam) + " " +
         std::to_string(msg.lParam);
}

}  // namespace

Fetched FetchMessage(ThreadState* me, const MessageFilter& filter, std::int64_t deadline_ms,
                     MSG* msg) {
  bool pumps_display = !me->in_run && DisplayPumpsThisThread();
  bool state_asked = false;
  std::unique_lock<std::mutex> lock(Core().mutex);
  for (;;) {
    if (!me->sent.empty()) {
      DeliverSentLocked(lock, me);
      continue;
    }
    if (TakeNextLocked(me, filter, msg)) {
      return msg->message == WM_QUIT ? Fetched::Quit : Fetched::Message;
    }
    if (NowMs() >= deadline_ms) return Fetched::TimedOut;
    // Idle with nothing queued: the moment the program's state can be taken whole.
    if (!state_asked && platform::ProgramStateWanted()) {
      state_asked = true;
      lock.unlock();
      platform::AskForProgramState();
      lock.lock();
      continue;
    }
    if (me->in_run) {
      me->wait_filter = filter;
      VirtualWait(lock, me, WaitKind::Message, deadline_ms);
    } else {
      RealWait(lock, me, filter, deadline_ms, pumps_display);
    }
  }
}

}  // namespace platform::core

using namespace platform::core;

BOOL GetMessageW(MSG* msg, HWND window, UINT filter_min, UINT filter_max) {
  ThreadState* me = CurrentThread();
  if (msg == nullptr || me == nullptr) return -1;
  if (window != nullptr) {
    std::lock_guard<std::mutex> lock(Core().mutex);
    Window* found = FindWindowLocked(window);
    if (found == nullptr || found->owner != me) return -1;
    window = found->handle;
  }
  MessageFilter filter{window, filter_min, filter_max};
  return FetchMessage(me, filter, kNever, msg) == Fetched::Quit ? FALSE : TRUE;
}

// The display posts WM_CHAR itself along with WM_KEYDOWN, so there is nothing to add here; as in
// Win32 the answer tells whether the message was a key message.
BOOL TranslateMessage(const MSG* msg) {
  return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (msg == nullptr) return 0;
  if (TraceRecording()) platform::TraceEvent(DispatchText(*msg));
  // The order of timer firings among the other threads' events is what a replay reproduces.
  if (msg->message == WM_TIMER) {
    platform::RecordTimerFired(msg->hwnd, msg->wParam);
  } else if (msg->message != WM_PAINT) {
    platform::RecordMessageDispatched(msg->hwnd, msg->message);
  }
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    TIMERPROC proc = nullptr;
    if (ThreadState* me = CurrentThread(); me != nullptr) {
      std::lock_guard<std::mutex> lock(Core().mutex);
      proc = LiveTimerProcLocked(me, msg->hwnd, msg->wParam, msg->lParam);
    }
    if (proc != nullptr) {
      proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
      return 0;
    }
  }
  if (msg->hwnd == nullptr) return 0;
  return CallWindowProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  ThreadState* me = CurrentThread();
  std::unique_lock<std::mutex> lock(Core().mutex);
  Window* target = FindWindowLocked(window);
  if (target == nullptr) return 0;
  if (target->owner == me) {
    lock.unlock();
    return CallWindowProcedure(window, message, wparam, lparam);
  }
  // Outside a run's threads only its controller may wait for an answer (see below); a run thread
  // that returned answers nothing any more.
  if (me == nullptr && std::this_thread::get_id() != Core().run.controller) return 0;
  if (target->owner->finished) return 0;
  auto sent = std::make_shared<SentMessage>(
      SentMessage{target->handle, message, wparam, lparam, 0, false, me});
  target->owner->sent.push_back(sent);
  if (Wake(target->owner)) {
    lock.unlock();
    platform::DisplayWake();
    lock.lock();
  }
  if (me == nullptr) {
    // The controller of a virtual run: the run's threads go on at this instant only, so a send
    // to a thread that is asleep is answered later and reads 0 here.
    RunThreadsUntil(lock, Core().virtual_now_ms.load(), false);
    return sent->done ? sent->result : 0;
  }
  while (!sent->done) {
    if (!me->sent.empty()) {
      DeliverSentLocked(lock, me);
    } else if (me->in_run) {
      VirtualWait(lock, me, WaitKind::Reply, kNever);
    } else {
      me->wakeup.wait(lock);
    }
  }
  return sent->result;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  // A null window posts to the calling thread itself.
  ThreadState* target = window == nullptr ? CurrentThread() : nullptr;
  bool wake_display = false;
  {
    std::lock_guard<std::mutex> lock(Core().mutex);
    if (window != nullptr) {
      Window* found = FindWindowLocked(window);
      if (found == nullptr) return FALSE;
      window = found->handle;
      target = found->owner;
    }
    if (target == nullptr || target->posted.size() >= kPostedLimit) return FALSE;
    target->posted.push_back(
        MSG{window, message, wparam, lparam, static_cast<DWORD>(platform::NowMs()), POINT{0, 0}});
    wake_display = Wake(target);
  }
  if (wake_display) platform::DisplayWake();
  if (target != CurrentThread()) platform::PostedToAnotherThread();
  return TRUE;
}

void PostQuitMessage(int exit_code) {
  ThreadState* me = CurrentThread();
  if (me == nullptr) return;
  if (TraceRecording()) platform::TraceEvent("PostQuitMessage " + std::to_string(exit_code));
  std::lock_guard<std::mutex> lock(Core().mutex);
  me->quit_pending = true;
  me->quit_code = exit_code;
}
