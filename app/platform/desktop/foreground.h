// The display tells the desktop when a window stops being a candidate for the foreground.
#pragma once

#include "platform/win32.h"

namespace platform::desktop {

// The window was hidden or destroyed: when it was the foreground, none is now.
void ForgetForeground(HWND window);

}  // namespace platform::desktop
