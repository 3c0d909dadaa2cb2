// Whether the panel window is in front, and the two ways it comes and goes on the controller's
// request or the NAVI button.
#pragma once

// True while the desktop's foreground window is the main window; asked afresh at every call,
// since the navigation program or the user may have raised another window meanwhile.
bool PanelInFront();
// Starts streaming the LCD, shows the main window and raises it.
void ShowPanel();
// Hides the main window and restarts the heartbeat count, so the controller hears three times
// that the panel is gone.
void HidePanel();
