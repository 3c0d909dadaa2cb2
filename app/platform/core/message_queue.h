// Taking the next message of a thread: sent messages are handled first, then a posted message is
// taken in FIFO order, then the quit request, then WM_PAINT for a window with an update region,
// then WM_TIMER for a due timer: painting and timers wait while any posted message does.
#pragma once

#include <mutex>

#include "platform/core/core_state.h"

namespace platform::core {

enum class Fetched { Message, Quit, TimedOut };

// Waits until a message passes the filter or virtual/real time reaches deadline_ms (kNever: no
// limit), handling sent messages meanwhile. Lock not held.
Fetched FetchMessage(ThreadState* me, const MessageFilter& filter, std::int64_t deadline_ms,
                     MSG* msg);

// Timers, lock held. A due timer that passes the filter becomes one WM_TIMER however late it is;
// it is then due again at the next multiple of its interval after now.
bool TakeDueTimerLocked(ThreadState* me, const MessageFilter& filter, std::int64_t now_ms,
                        MSG* msg);
std::int64_t NextTimerDueLocked(const ThreadState* me, const MessageFilter& filter);
// The procedure of a live timer of the calling thread that a WM_TIMER names, or null: a WM_TIMER
// posted by hand with some lParam never makes DispatchMessageW jump to an arbitrary address.
TIMERPROC LiveTimerProcLocked(const ThreadState* me, HWND window, UINT_PTR id, LPARAM proc);

}  // namespace platform::core
