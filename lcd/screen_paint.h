// What the main window shows, chosen by PanelMode: the full front panel (1) or the compact view
// (0). Both handlers run on the main thread.
#pragma once

#include "platform/win32.h"

// WM_PAINT: rebuilds the whole BackBuffer from the pictures for the current view and the last
// LCD rendering, and shows it. Writes neither the clock line nor a button lamp.
LRESULT PaintPanel(HWND window);
// WM_PANEL_REFRESH: renders the LCD again, puts it (and, in the full panel, the indicators) into
// the BackBuffer, shows the BackBuffer, and in the full panel relights a held button and writes
// the clock line into the BackBuffer for the next refresh to show.
LRESULT RefreshPanel(HWND window);
