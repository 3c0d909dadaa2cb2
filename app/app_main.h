// The panel's entry: start reading at AppMain, which runs StartUp and then the main thread's
// message loop until the quit message. The main window's messages go through the table in
// main_window.cpp; the link thread's life is in link/link_thread.cpp.
#pragma once

#include "platform/win32.h"

// Returns the process's exit code: 0 when start-up failed, else the quit message's code.
int AppMain(HINSTANCE instance, HINSTANCE previous_instance, LPWSTR command_line, int show_code);
