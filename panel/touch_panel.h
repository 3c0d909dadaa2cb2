// Touches on the main window: pen down, the repeat while the finger stays, pen up. In the full
// front panel a touch runs the hit map; in the compact view it changes the LCD colour or brings
// the full panel back.
#pragma once

#include "platform/win32.h"

// WM_LBUTTONDOWN: the touch runs once at once and then every 270 ms until the pen lifts.
void OnPenDown(LPARAM position);
// WM_LBUTTONUP: ends the repeat, tells the controller the key is released and puts the lamp out.
void OnPenUp(LPARAM position);
// WM_TIMER TIMER_TOUCH_REPEAT.
void OnTouchRepeat();
