// What the desktop asks of the display about our own windows: the host window that shows one
// (under X11), the keyboard focus (under Wayland) and the screen's stacking order.
#pragma once

#include "platform/win32.h"

namespace platform::display {

// The X11 window that shows one of our windows, or 0 (headless, another thread's window, or a
// display other than X11).
unsigned long HostWindowId(HWND window);
// Our window shown by that X11 window, or null.
HWND WindowOfHostId(unsigned long host_id);
// False once our windows are shown by a display other than X11 (Wayland, DRM): the X server
// does not see them then, so it cannot answer for the foreground.
bool OurWindowsMayBeOnX11();
// Under Wayland with a keyboard on a seat: true, with the window of ours that has the keyboard
// focus (null when none of ours has it). False when no keyboard tells the focus (another display,
// or a seat without a keyboard).
bool WaylandKeyboardFocus(HWND* focused);
// Puts one of our top-level windows on top of the others on the screen.
void RaiseOnScreen(HWND window);

}  // namespace platform::display
