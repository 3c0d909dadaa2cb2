// CreateThread: a thread of the virtual run while one is active, else a free-running host thread.
// Nothing ever waits for a thread, so the handle only names it; closing it leaves it running.
#include <atomic>
#include <system_error>

#include "platform/core/scheduler.h"
#include "platform/internal/kernel_handles.h"
#include "platform/internal/module_interfaces.h"
#include "platform/testing.h"

namespace {

constexpr DWORD kCreateSuspended = 0x00000004;

struct ThreadRecord {
  DWORD id;
};

void CloseThreadRecord(void* object) { delete static_cast<ThreadRecord*>(object); }

DWORD NextThreadId() {
  static std::atomic<DWORD> next{0x100};
  return next.fetch_add(4);
}

// Real time: the numbers CreateThread gave out; a thread it did not start keeps 0.
std::atomic<int> next_real_thread_number{1};
thread_local int real_thread_number = 0;

}  // namespace

int platform::core::ProgramThreadNumber() {
  if (platform::VirtualTimeActive()) return run_thread_state ? run_thread_state->index : -1;
  return real_thread_number;
}

HANDLE CreateThread(LPVOID, std::size_t, LPTHREAD_START_ROUTINE start, LPVOID param, DWORD flags,
                    DWORD* thread_id) {
  // A suspended thread would need ResumeThread, which this platform does not provide.
  if (start == nullptr || (flags & kCreateSuspended) != 0) return nullptr;
  if (platform::VirtualTimeActive()) {
    platform::core::ThreadState* thread =
        platform::core::StartRunThread([start, param] { return start(param); });
    if (thread == nullptr) return nullptr;
    if (platform::core::TraceRecording()) {
      platform::TraceEvent("CreateThread t" + std::to_string(thread->index));
    }
  } else {
    try {
      const int number = next_real_thread_number.fetch_add(1);
      std::thread([start, param, number] {
        real_thread_number = number;
        platform::GiveThreadSignalStack();
        start(param);
      }).detach();
    } catch (const std::system_error&) {
      return nullptr;
    }
  }
  auto* record = new ThreadRecord{NextThreadId()};
  if (thread_id != nullptr) *thread_id = record->id;
  return platform::NewKernelHandle(platform::KernelObjectKind::Thread, record, CloseThreadRecord);
}
