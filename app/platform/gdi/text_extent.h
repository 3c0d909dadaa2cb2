// The size DrawTextW gives a text in a font, for the platform's own layouts (the display's
// message box).
#pragma once

#include "platform/win32.h"

namespace platform::gdi {

// Width of the widest line and height of all lines, in pixels; false when no face can be loaded.
bool TextExtent(const LOGFONTW& logfont, LPCWSTR text, int* width, int* height);

}  // namespace platform::gdi
