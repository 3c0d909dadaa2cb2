// The end of the panel by destruction of the main window (the window manager's close, or another
// program destroying it). The other way, the exit corner of the full panel, belongs to the hit map.
#pragma once

// WM_DESTROY: closes a settings file still open, releases the drawing surfaces and posts the
// quit message.
void ShutDownOnDestroy();
