// The state behind the core's operations: window classes, windows, the message queue and timers
// of each thread, and the virtual clock's scheduler. One mutex guards all of it. No window
// procedure and no display call ever runs while it is held, so procedures may call back into
// any operation and the display may post from inside its own locks.
//
// Start reading at ThreadState (one per thread that uses windows or messages), then Window.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"

namespace platform::core {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

struct ThreadState;

// A message sent to a window of another thread; the sender waits until done.
struct SentMessage {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  LRESULT result = 0;
  bool done = false;
  ThreadState* sender;  // null when the test's controlling thread sent it
};

struct Timer {
  HWND window;  // null for a thread timer
  UINT_PTR id;
  UINT interval_ms;
  std::int64_t due_ms;
  TIMERPROC proc;
};

// Which messages a GetMessageW call takes: those of one window or of all (null), and a range of
// message numbers (0, 0 for all).
struct MessageFilter {
  HWND window = nullptr;
  UINT first = 0;
  UINT last = 0;
  bool Matches(HWND target, UINT message) const {
    return (window == nullptr || target == window) &&
           ((first == 0 && last == 0) || (message >= first && message <= last));
  }
};

// What a thread of a virtual run is blocked in.
enum class WaitKind { None, Message, Sleep, Reply };

struct ThreadState {
  int index = -1;       // 0 for the program's main thread of a virtual run, then 1, 2 ...
  bool in_run = false;  // a thread of the virtual run, scheduled by the baton
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
  std::vector<Timer> timers;  // of this thread's windows and of the thread itself
  bool quit_pending = false;
  int quit_code = 0;
  std::condition_variable wakeup;
  bool waiting_in_display = false;  // inside DisplayWaitEvents: posts must call DisplayWake

  // Virtual run only.
  WaitKind waiting = WaitKind::None;
  std::int64_t wake_at_ms = kNever;  // end of a Sleep, or of a bounded message wait
  MessageFilter wait_filter;         // of a message wait: which timers can end it
  bool ready = false;                // in the ready queue
  bool finished = false;             // the thread function returned (or never started)
  bool parked = false;               // stopped for good at the end of the run
  std::thread thread;
};

struct WindowClass {
  const WCHAR* name;  // interned
  ATOM atom;
  UINT style;
  WNDPROC procedure;
  HICON icon;
  HCURSOR cursor;
  HBRUSH background;
};

struct Window {
  HWND handle;
  const WindowClass* window_class;
  const WCHAR* title;  // interned
  DWORD style;
  RECT rect;  // screen coordinates
  HWND parent;
  ThreadState* owner;
  std::thread::id owner_thread;  // the host thread behind owner
  bool visible = false;
  bool enabled = true;  // takes pen and key input from the display
  bool has_update = false;
  RECT update{};  // bounding box of the update region, client coordinates
  bool destroying = false;
};

// The scheduler of a virtual run: exactly one party holds the baton, a run thread or the
// controller (the test's own thread); the holder alone runs.
struct VirtualRun {
  std::vector<std::unique_ptr<ThreadState>> threads;  // by index
  std::deque<ThreadState*> ready;
  ThreadState* baton = nullptr;  // null: the controller holds it
  bool controller_has_baton = true;
  std::condition_variable controller_wakeup;
  std::int64_t run_until_ms = 0;
  bool stop_when_main_returns = false;
  bool main_returned = false;
  int main_result = 0;
  bool ending = false;
  std::int64_t local_time_base_ms = 0;  // local civil time, ms since 1970, at virtual 0
  std::int64_t local_time_set_at_ms = 0;
  std::uint64_t kernel_handle_watermark = 0;
  std::thread::id controller;  // the thread that started the run
  // A replay's: timers fire and Sleeps end only when the controller releases them, in the order
  // a recording kept, never by the clock.
  bool timed_waits_held = false;
};

struct TraceRecord {
  std::int64_t ms;
  int thread;
  std::string text;
};

struct CoreState {
  std::mutex mutex;
  std::vector<std::unique_ptr<WindowClass>> classes;
  std::map<std::uintptr_t, Window> windows;  // by handle value, that is in creation order
  std::uintptr_t next_window_serial = 1;
  ATOM next_atom = 0xC000;
  UINT_PTR next_thread_timer_id = 1;
  std::atomic<bool> virtual_active{false};
  std::atomic<std::int64_t> virtual_now_ms{0};
  VirtualRun run;
  std::vector<TraceRecord> trace;
  std::atomic<bool> trace_recording{true};
};

// The one instance; never destroyed, so that threads still running at process exit stay safe.
CoreState& Core();

// The calling thread's state, created on first use. Null when a virtual run is active and the
// caller is not one of its threads (the controller): such a caller owns no windows and never
// blocks in the scheduler.
ThreadState* CurrentThread();

// The calling thread's state when it is a thread of a virtual run; set by the scheduler.
extern thread_local ThreadState* run_thread_state;

// The calling thread's number among the program's, the same in real time as in a virtual run: 0
// for a thread the program did not start itself (its main thread), then 1, 2 ... in the order of
// CreateThread. -1 for the controller of a virtual run.
int ProgramThreadNumber();

// Interned copy of a string: stays valid for the life of the process.
const WCHAR* Intern(LPCWSTR text);

// Lock held for everything below.

// The live window behind a handle (the lowest bit is ignored), or null.
Window* FindWindowLocked(HWND handle);

// Makes a thread look at its queue again: marks a blocked thread of the virtual run ready, or
// wakes a real wait. True when the thread waits in the display: the caller must then call
// DisplayWake() once it has released the lock.
[[nodiscard]] bool Wake(ThreadState* thread);

// Whether the window and every window it sits in are shown.
bool WindowShownLocked(const Window& window);
// A window without a parent, or one that is no child (an owned popup).
bool IsTopLevel(const Window& window);

// Removes a window without calling its procedure: its queued messages, timers and children go
// with it. Appends the handles removed, for the display to be told once the lock is released.
void RemoveWindowLocked(HWND handle, std::vector<HWND>* removed);

// Answers every message sent to a thread that will never handle them with 0.
void AnswerSentMessagesLocked(ThreadState* thread);

// A thread is going away: removes its windows and answers the messages sent to it with 0.
void ReleaseThreadLocked(ThreadState* thread, std::vector<HWND>* removed);

// Lock not held.

// Whether the trace of a virtual run is being recorded; callers build trace texts only then.
bool TraceRecording();
// The window's class name in UTF-8, or "?" for no window.
std::string ClassNameOf(HWND window);

// Calls the window's procedure on the calling thread; 0 when the window is gone.
LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

void ReportWindowsRemoved(const std::vector<HWND>& removed);

}  // namespace platform::core
