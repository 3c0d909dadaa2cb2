// The panel's entry: start reading at AppMain, which runs StartUp and then the main thread's
// message loop until the quit message. The main window's messages go through the table in
// main_window.cpp; the link thread's life is in link/link_thread.cpp.
#pragma once

#include "platform/recording_file.h"
#include "platform/win32.h"

// The process's exit codes besides 0, which means that the user ended the panel (the exit corner,
// the window manager's close, a stop signal) or that a later start handed over to the running one.
// A service manager restarts the panel after any of these.
constexpr int StartUpFailedExitCode = 1;
constexpr int DisplayLostExitCode = 2;

// Returns the process's exit code; a failure says why on one line first.
int AppMain(HINSTANCE instance, HINSTANCE previous_instance, LPWSTR command_line, int show_code);

// The same from a state the flight recorder kept (StartUp's resumed), for a replay.
int ResumeAppMain(const platform::RecordedEvent& state);
