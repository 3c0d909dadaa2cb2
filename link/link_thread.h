// The link thread: start reading at LinkThreadMain. It owns the hidden "DiskRead" window, whose
// poll timer drives every exchange with the controller: read key codes and the LCD, write at most
// one queued command, reconnect after a failure.
#pragma once

#include "platform/win32.h"

// From this many ticks without an LCD change or panel action on, every tick asks for a redraw.
constexpr std::uint32_t QuietTicksBeforeRefresh = 10;

// The thread's body; a non-null parameter resumes a link that the record says is up (see
// ResumeLinkWindow). Returns 0 when the window cannot be made, otherwise runs the thread's message
// loop for the life of the process.
DWORD LinkThreadMain(LPVOID resumed);
// Registers the "DiskRead" class; the atom, or 0.
ATOM RegisterLinkWindowClass();
// Creates and hides the window, waits for the device without limit, sends the start-up packets and
// arms the first poll. The window, or 0.
HWND CreateLinkWindow();
// For a panel resumed from a recorded state: creates and hides the window, opens the device the
// record names again and arms the poll, without probing or start-up packets. The window, or 0.
HWND ResumeLinkWindow();
LRESULT LinkWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// One tick of the poll timer.
void PollLink();
