// The hit map of the full front panel: what a touch at (PenX, PenY) on the panel picture does.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Runs the region under the pen (a key packet, a preference, the view), lights the lamp of the
// current ButtonId on dc, a context of the main window, and ends the program when the pen lies in
// the exit corner. Runs at pen-down and at every repeat while the finger stays.
void HitTestPanel(HDC dc);

// The region of the full panel picture at a pen position, as the table names it ("preset 2",
// "VOL up (right arrow)"), "exit corner", or "no region": for people reading recordings.
const char* HitRegionName(std::uint32_t x, std::uint32_t y);
