// What the main window shows: PaintPanel rebuilds the whole BackBuffer for the current view and
// shows it; RefreshPanel redraws the LCD area.
#pragma once

#include "platform/win32.h"

LRESULT PaintPanel(HWND window);
LRESULT RefreshPanel(HWND window);
