// ExitProcess: the process ends with all of its threads at once, as on Win32. The C++ runtime's
// exit would first run the static destructors while other threads (the link thread, a launch's
// reaper, the session thread) still use those statics; quick_exit runs only the handlers made for
// that moment (at_quick_exit), and nothing of ours needs more: files are closed when written, and
// the kernel closes sockets and devices. The buffered streams are flushed first.
#include <cstdio>
#include <cstdlib>

#include "platform/win32.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define QUELT_LEAK_CHECKED 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define QUELT_LEAK_CHECKED 1
#endif

#ifdef QUELT_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>

namespace {

// LeakSanitizer checks at the runtime's exit, which quick_exit skips. Registered before main, so
// it runs after every other quick-exit handler, once the libraries have let go of their caches.
[[maybe_unused]] const bool leaks_checked_at_quick_exit =
    std::at_quick_exit(__lsan_do_leak_check) == 0;

}  // namespace
#endif

void ExitProcess(UINT exit_code) {
  std::fflush(nullptr);
  std::quick_exit(static_cast<int>(exit_code));
}
