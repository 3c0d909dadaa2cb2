// The link thread: start reading at LinkThreadMain. It owns the hidden "DiskRead" window, whose
// poll timer drives every exchange with the controller: read key codes and the LCD, write at most
// one queued command, reconnect after a failure.
#pragma once

#include "platform/win32.h"

// From this many ticks without an LCD change or panel action on, every tick asks for a redraw.
constexpr std::uint32_t QuietTicksBeforeRefresh = 10;

// The thread's body; the parameter is unused. Returns 0 when the window cannot be made, otherwise
// runs the thread's message loop for the life of the process.
DWORD LinkThreadMain(LPVOID parameter);
// Registers the "DiskRead" class; the atom, or 0.
ATOM RegisterLinkWindowClass();
// Creates and hides the window, waits for the device without limit, sends the start-up packets and
// arms the first poll. The window, or 0.
HWND CreateLinkWindow();
LRESULT LinkWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// One tick of the poll timer.
void PollLink();
