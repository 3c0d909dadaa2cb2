// The main window's procedure: a table from message to handler, each handler owned by the
// subsystem that the message concerns.
#pragma once

#include "platform/win32.h"

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
