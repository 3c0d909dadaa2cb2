// The one pen path of the real displays: a backend reports where the pen is in the pixels of the
// area that shows a window (the whole screen, for a full-screen panel), and this maps it through
// the letterbox to the window's own pixels and posts the button messages. A press on a black bar
// starts nothing (its moves and release go nowhere either); a pen that moves onto a bar stays at
// the nearest edge of the picture, so a button never stays pressed.
#pragma once

#include "platform/win32.h"

namespace platform::display {

enum class PenAction { Down, Move, Up };

void ReportPen(HWND window, double x, double y, int area_width, int area_height, PenAction action);

}  // namespace platform::display
