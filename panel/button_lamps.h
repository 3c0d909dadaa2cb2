// The lamp above a touched button of the full front panel, drawn directly on the window (not into
// the BackBuffer): the pressed frame while the finger is down, the released frame when it lifts.
#pragma once

#include "platform/win32.h"

// Copies the pressed frame of the current ButtonId's lamp onto dc; ButtonId 0 draws nothing.
// The screen refresh calls it after each full-panel copy of the BackBuffer, so a held button
// stays lit.
void DrawButtonPressed(HDC dc);
// Copies the released frame of the current ButtonId's lamp onto dc (nothing for 0), then sets
// ButtonId to 0 in every case.
void DrawButtonReleased(HDC dc);
