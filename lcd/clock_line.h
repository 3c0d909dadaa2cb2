// The clock line along the black strip at the bottom of the full panel: date, weekday and a
// 12-hour time, white when the minute has just changed and grey after that.
#pragma once

#include "platform/win32.h"

// Reads the local time into ClockTime (keeping the previous minute in PreviousClockMinute),
// formats it into ClockText and draws it centred into the rectangle 240, 447 to 558, 477 of dc.
void DrawClock(HDC dc);
// The same for a refresh into the BackBuffer, which draws the line only when it reads or looks
// different from the one the BackBuffer shows (ClockLineShown): a new minute, and the refresh
// after it, which turns it grey.
void RefreshClock(HDC back_buffer);
