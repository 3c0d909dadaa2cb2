// The one pen path of every display: a backend reports where the pen is, in the pixels of the
// area it shows a window in, and this maps it onto the window's picture and posts the button
// messages. A window shown in an area of another size (full screen on another screen) has its
// picture letterboxed there: a press on a bar starts nothing, and a held pen that moves onto a bar
// lifts at the nearest edge of the picture, so a button never stays pressed. One window at a time
// holds the pen, from a delivered press until the pen lifts.
#pragma once

#include "platform/win32.h"

namespace platform::display {

enum class PenAction { Down, Move, Up };

// (x, y) in the pixels of the area the backend shows the window in, area_width x area_height
void ReportPen(HWND window, double x, double y, int area_width, int area_height, PenAction action);

// The window's picture pixel at an area point; false on a bar or for a window the display does not
// know (the pixel is then that of the nearest picture edge, or 0, 0).
bool PenPixel(HWND window, double x, double y, int area_width, int area_height, POINT* pixel);

// The window hides while it holds the pen: it hears the pen lift where it last was. A window that
// goes lets go of it silently.
void LiftPenFrom(HWND window);
void ForgetPenOf(HWND window);

}  // namespace platform::display
