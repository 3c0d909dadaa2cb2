// The pictures of the panel, loaded once at start-up into memory drawing contexts of their own.
#pragma once

#include "platform/win32.h"

// The compact view's background from the storage card, then the resource pictures in their load
// order. A missing background is reported and skipped; a missing resource picture is reported
// and ends the loading (1 when every picture was handled, 0 then).
BOOL LoadPictures(HWND window);

// The background of the compact view, on the storage card.
extern const LPCWSTR CompactBackgroundPath;
