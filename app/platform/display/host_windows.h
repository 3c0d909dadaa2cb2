// What the desktop asks of the display about our own windows: the host window that shows one
// (under X11), the keyboard focus and the screen's stacking order. The backend in use answers.
#pragma once

#include "platform/win32.h"

namespace platform::display {

// The X11 window that shows one of our windows, or 0 (headless, another thread's window, or a
// display other than X11).
unsigned long HostWindowId(HWND window);
// Our window shown by that X11 window, or null.
HWND WindowOfHostId(unsigned long host_id);
// False once our windows are shown where the X server does not see them (a compositor, a DRM
// screen): it cannot answer for the foreground then.
bool OurWindowsMayBeOnX11();
// When a keyboard tells the focus (a compositor's seat with a keyboard): true, with the window of
// ours that has it (null when none of ours has it). False otherwise.
bool KeyboardFocus(HWND* focused);
// Puts one of our top-level windows on top of the others on the screen.
void RaiseOnScreen(HWND window);

}  // namespace platform::display
