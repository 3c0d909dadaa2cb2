// Touches on the picture of the front panel: pen down, the repeat while the finger stays, pen up.
#pragma once

#include "platform/win32.h"

void OnPenDown(LPARAM position);
void OnPenUp(LPARAM position);
void OnTouchRepeat();
