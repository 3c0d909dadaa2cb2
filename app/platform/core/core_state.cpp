// The core's shared state, per-thread states and window removal.
#include "platform/core/core_state.h"

#include <algorithm>
#include <set>

#include "platform/internal/module_interfaces.h"

namespace platform::core {

CoreState& Core() {
  static CoreState* state = new CoreState;
  return *state;
}

namespace {

// A thread outside any virtual run gets its state on first use and gives it up when it ends,
// as Win32 destroys the windows of a thread that exits.
struct OwnThreadState {
  std::unique_ptr<ThreadState> state;
  ~OwnThreadState() {
    if (!state) return;
    std::vector<HWND> removed;
    {
      std::lock_guard<std::mutex> lock(Core().mutex);
      ReleaseThreadLocked(state.get(), &removed);
    }
    ReportWindowsRemoved(removed);
  }
};

thread_local OwnThreadState own_thread_state;

}  // namespace

// Set by the scheduler for the threads of a virtual run.
thread_local ThreadState* run_thread_state = nullptr;

ThreadState* CurrentThread() {
  if (Core().virtual_active.load()) return run_thread_state;
  if (run_thread_state != nullptr) return nullptr;  // a thread of a run that has ended
  if (!own_thread_state.state) own_thread_state.state = std::make_unique<ThreadState>();
  return own_thread_state.state.get();
}

const WCHAR* Intern(LPCWSTR text) {
  static auto* mutex = new std::mutex;
  static auto* strings = new std::set<std::u16string>;
  std::lock_guard<std::mutex> lock(*mutex);
  return strings->insert(std::u16string(text != nullptr ? text : u"")).first->c_str();
}

Window* FindWindowLocked(HWND handle) {
  auto value = reinterpret_cast<std::uintptr_t>(handle) & ~std::uintptr_t{1};
  auto found = Core().windows.find(value);
  return found == Core().windows.end() ? nullptr : &found->second;
}

bool IsTopLevel(const Window& window) {
  return window.parent == nullptr || (window.style & WS_CHILD) == 0;
}

bool WindowShownLocked(const Window& window) {
  for (const Window* w = &window; w != nullptr; w = FindWindowLocked(w->parent)) {
    if (!w->visible) return false;
    if (IsTopLevel(*w)) return true;
  }
  return true;
}

LRESULT CallWindowProcedure(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC procedure = nullptr;
  {
    std::lock_guard<std::mutex> lock(Core().mutex);
    Window* window = FindWindowLocked(handle);
    if (window == nullptr) return 0;
    procedure = window->window_class->procedure;
    handle = window->handle;
  }
  return procedure(handle, message, wparam, lparam);
}

bool Wake(ThreadState* thread) {
  if (thread == nullptr) return false;
  CoreState& core = Core();
  if (thread->in_run) {
    bool blocked_on_queue =
        thread->waiting == WaitKind::Message || thread->waiting == WaitKind::Reply;
    if (blocked_on_queue && !thread->ready && !thread->finished) {
      thread->ready = true;
      core.run.ready.push_back(thread);
    }
    return false;
  }
  thread->wakeup.notify_all();
  return thread->waiting_in_display;
}

void RemoveWindowLocked(HWND handle, std::vector<HWND>* removed) {
  CoreState& core = Core();
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return;
  handle = window->handle;
  std::vector<HWND> children;
  for (auto& [value, other] : core.windows) {
    if (other.parent == handle) children.push_back(other.handle);
  }
  for (HWND child : children) RemoveWindowLocked(child, removed);

  ThreadState* owner = window->owner;
  auto& posted = owner->posted;
  posted.erase(std::remove_if(posted.begin(), posted.end(),
                              [&](const MSG& msg) { return msg.hwnd == handle; }),
               posted.end());
  auto& timers = owner->timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [&](const Timer& timer) { return timer.window == handle; }),
               timers.end());
  core.windows.erase(reinterpret_cast<std::uintptr_t>(handle));
  removed->push_back(handle);
}

void AnswerSentMessagesLocked(ThreadState* thread) {
  for (auto& sent : thread->sent) {
    sent->done = true;
    // The sender waits in the core, never in the display, so no display wake is due.
    (void)Wake(sent->sender);
  }
  thread->sent.clear();
}

void ReleaseThreadLocked(ThreadState* thread, std::vector<HWND>* removed) {
  std::vector<HWND> owned;
  for (auto& [value, window] : Core().windows) {
    if (window.owner == thread) owned.push_back(window.handle);
  }
  for (HWND handle : owned) RemoveWindowLocked(handle, removed);
  AnswerSentMessagesLocked(thread);
  thread->posted.clear();
  thread->timers.clear();
}

bool TraceRecording() { return Core().virtual_active.load() && Core().trace_recording.load(); }

std::string ClassNameOf(HWND handle) {
  std::lock_guard<std::mutex> lock(Core().mutex);
  Window* window = FindWindowLocked(handle);
  return window != nullptr ? Utf8FromWide(window->window_class->name) : std::string("?");
}

void ReportWindowsRemoved(const std::vector<HWND>& removed) {
  for (HWND handle : removed) DisplayWindowDestroyed(handle);
}

}  // namespace platform::core
