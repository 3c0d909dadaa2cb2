// The drawing surfaces of the state record (the BackBuffer and the two DIB sections) end with the
// program, by either way it ends: the main window's destruction or a touch on the exit corner.
#pragma once

// Selects the BackBuffer's first bitmap back, then deletes the BackBuffer and the two DIB
// sections with their contexts. Each released handle is cleared, so whatever is still handled
// before the message loop ends draws nothing, and a second run does nothing.
void ReleaseDrawingObjects();
