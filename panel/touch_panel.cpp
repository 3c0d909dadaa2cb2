// Touch handling is entered through the main window's dispatch table; the hit map, the lamps and
// the touch packets come with the touch-panel work.
#include "panel/touch_panel.h"

void OnPenDown(LPARAM) {}
void OnPenUp(LPARAM) {}
void OnTouchRepeat() {}
