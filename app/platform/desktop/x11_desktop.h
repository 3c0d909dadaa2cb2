// The X server's own top-level windows, through a connection of our own: lookups by class and
// title, the active window, and raising a window. Works with and without a window manager.
#pragma once

#include <string>

namespace platform::desktop {

// Whether an X server answers (on $DISPLAY); the connection is opened at the first call.
bool X11DesktopAvailable();
// The client window with that WM_CLASS and that title (either null: any); 0 for none. Letter case
// is ignored, as FindWindowW ignores it.
unsigned long X11FindWindow(const std::string* class_name, const std::string* title);
// The active client window, 0 for none.
unsigned long X11ActiveWindow();
// Raises and focuses the window; false when it does not exist.
bool X11Activate(unsigned long window);

}  // namespace platform::desktop
