// The two ways the panel ends: destruction of the main window, and a touch on the exit corner of
// the full front panel. Both release the drawing surfaces and post the quit message.
#pragma once

void ShutDownOnDestroy();
// Run at the end of every full-panel hit test: ends the program when the last pen position lies
// in the exit corner.
void ShutDownAtExitCorner();
// Releases the BackBuffer and the two DIB sections; a second run does nothing.
void ReleaseDrawingObjects();
