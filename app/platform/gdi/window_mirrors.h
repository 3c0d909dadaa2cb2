// What a window is known to hold, so that copying the same bitmap onto it again looks only at
// what can have changed. A refresh of the panel copies its whole BackBuffer onto the window 20
// times a second while a few rows of it change; comparing all 1.5 MB each time was a fifth of the
// refresh.
//
// A window mirrors a device bitmap after a copy of a rectangle of it: the window's pixels there
// equal the bitmap's as they were then, except where the window was drawn on since. A device
// bitmap has no pixel pointer, so all its changes pass through gdi, which logs the last few
// rectangles drawn on it. DIB sections are never mirrored: the program writes their memory
// itself. Every call needs the GDI lock.
#pragma once

#include <vector>

#include "platform/gdi/drawing_pixels.h"

namespace platform::gdi {

// A drawing on a bitmap or a window (rect in their pixels), other than a copy that NoteCopied
// accounts for. A window's drawing is also told to the display.
void NoteDrawing(const Pixels& pixels, const RECT& rect);

// The parts of `area` (window pixels) that copying from `source` with its pixel (source_x,
// source_y) at the top left of area may change: all of it, unless the window mirrors exactly that.
std::vector<RECT> RectsThatMayChange(const Pixels& window, const Pixels& source, const RECT& area,
                                     int source_x, int source_y);

// After such a copy: the window now mirrors the source there, when the source is a device bitmap
// and the copy covers what the window mirrored so far; else it counts as a drawing on the window.
void NoteCopied(const Pixels& window, const Pixels& source, const RECT& area, int source_x,
                int source_y);

}  // namespace platform::gdi
