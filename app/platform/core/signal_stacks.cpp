// Alternate signal stacks, one per thread: a fatal signal's handler (the flight recorder's crash
// save) must run on the thread that faulted, also when the fault is that thread's own stack
// running out, and the kernel delivers a signal to a stack only for the thread that set it up.
#include <signal.h>

#include <cstdint>
#include <memory>
#include <new>

#include "platform/internal/module_interfaces.h"

namespace platform {
namespace {

// Room for the crash save: copies, checks and system calls, no deep calls.
constexpr std::size_t SignalStackBytes = 64 * 1024;

struct ThreadSignalStack {
  std::unique_ptr<std::uint8_t[]> memory;
  ThreadSignalStack() = default;
  ThreadSignalStack(const ThreadSignalStack&) = delete;
  ThreadSignalStack& operator=(const ThreadSignalStack&) = delete;
  // The kernel must stop using the memory before it goes.
  ~ThreadSignalStack() {
    if (!memory) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
  }
};

thread_local ThreadSignalStack signal_stack;

}  // namespace

void GiveThreadSignalStack() {
  if (signal_stack.memory) return;
  std::unique_ptr<std::uint8_t[]> memory(new (std::nothrow) std::uint8_t[SignalStackBytes]);
  if (!memory) return;
  stack_t stack{};
  stack.ss_sp = memory.get();
  stack.ss_size = SignalStackBytes;
  if (sigaltstack(&stack, nullptr) == 0) signal_stack.memory = std::move(memory);
}

}  // namespace platform
