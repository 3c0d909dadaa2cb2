// What makes a process a program of the user's desktop session rather than one of the many test
// processes that use the platform side by side: the program's entry joins the session first.
// Processes that never join (tests, tools) keep to themselves, as before.
#pragma once

namespace platform {

// Joins the user's session as the named program. Call it first in main, before anything starts a
// thread: it blocks SIGTERM, SIGINT and SIGHUP, and every thread inherits that.
//
// One instance: the first process to join under a name holds the claim on it until it ends (an
// abstract Unix socket named after the program and the user id, one per user however the program
// was started; the kernel drops it with the process, however that ends). A name that a process of
// another user holds never counts: the program says so once and runs without the claim. FindWindowW
// in a later process of that name also finds the holder's top-level windows, and
// SetForegroundWindow on such a handle asks the holder to bring the window to the front. A later
// process may look up and raise, but it cannot create a top-level window: of two starts at the same
// moment exactly one comes up. In a later process joining starts no thread and touches no file; the
// holder gets one thread, the session thread.
//
// Stop signals: in the holder, SIGTERM, SIGINT and SIGHUP close the top-level windows of the
// thread that joined, as the window manager's close does (WM_CLOSE, which DefWindowProcW answers
// by destroying the window). A signal that comes before that thread has a window closes its first
// one. Other threads' windows (a worker's hidden window) are left to their threads. A later
// process leaves them blocked: it only hands over to the holder and ends.
void JoinDesktopSession(const char* program);

// In a later start: another process of the program holds the claim, whether its window exists yet
// or not.
bool AnotherInstanceRuns();

// The display that showed the program's windows went away (the Wayland compositor ended) and
// closed them: the windows ended for the program, not by its user's hand.
bool DisplayLost();

}  // namespace platform
