// The SDL display's message boxes, drawn in windows of the display thread.
#pragma once

#include <SDL.h>

#include "platform/win32.h"

namespace platform::display::sdl {

// Opens a box on the display thread; false when it cannot be drawn. MessageBoxAnswered(token)
// follows when the user answers it.
bool OpenSdlMessageBox(int token, LPCWSTR text, LPCWSTR caption);
// Puts the open boxes above every other window.
void RaiseMessageBoxes();
// Takes an event meant for an open box; false for every other event.
bool HandleMessageBoxEvent(const SDL_Event& event);

}  // namespace platform::display::sdl
