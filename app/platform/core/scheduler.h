// The virtual clock's scheduler. Every thread of a virtual run runs only while it holds the one
// baton; it passes the baton on when it blocks (a message wait with nothing due, Sleep, waiting
// for the answer to a sent message). When every thread is blocked, virtual time jumps to the
// earliest deadline (a timer or the end of a sleep) and the threads due then run, in index
// order. The controller (the test's own thread) holds the baton between its calls, so it only
// ever acts while all run threads stand still, and a scenario gives the same order every time.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "platform/core/core_state.h"

namespace platform::core {

// Blocks the calling run thread, which holds the baton and the lock, until Wake (message and
// reply waits) or until virtual time reaches the deadline. Once the run ends it never returns:
// the thread is parked for good, so that none of the program's code runs after its run.
void VirtualWait(std::unique_lock<std::mutex>& lock, ThreadState* me, WaitKind kind,
                 std::int64_t deadline_ms);

// Controller, lock held: lets the run threads go until every one is blocked with nothing due up
// to until_ms (virtual time then reads until_ms), or, when asked, until the main thread returned.
void RunThreadsUntil(std::unique_lock<std::mutex>& lock, std::int64_t until_ms,
                     bool stop_when_main_returns);

// Starts a thread of the virtual run (next index, at the end of the ready queue); it runs body
// when the baton reaches it. Null when no thread could be created. Lock not held.
ThreadState* StartRunThread(std::function<DWORD()> body);

// Controller, lock held: stops every run thread and takes them out of the run, with their
// windows (appended to removed for the display). Threads that returned are joined, blocked ones
// are parked and detached; returns with the lock held.
void StopRunThreads(std::unique_lock<std::mutex>& lock, std::vector<HWND>* removed);

}  // namespace platform::core
