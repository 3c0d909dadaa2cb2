// The picture of a message box that the platform draws itself: the text on a dark ground and an
// OK button under it, sized to the text. The real displays show it in a window of their own and
// answer it when the button is touched.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace platform::display {

struct MessageBoxPicture {
  // A 32-bit top-down DIB section in a memory context of its own: rows of `width` pixels.
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ replaced = nullptr;
  std::uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  RECT button{};
};

// Draws the box for that text; false (and nothing to delete) when it cannot be drawn.
bool DrawMessageBoxPicture(LPCWSTR text, MessageBoxPicture* picture);
void DeleteMessageBoxPicture(const MessageBoxPicture& picture);
bool OnMessageBoxButton(const MessageBoxPicture& picture, int x, int y);

}  // namespace platform::display
