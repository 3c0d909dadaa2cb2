// Where a device context draws: the selected bitmap of a memory context, or the window's surface
// of a window context, described uniformly as rows top first (the stride is negative for a
// bottom-up bitmap).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/internal/module_interfaces.h"

namespace platform::gdi {

struct Bitmap;

struct Pixels {
  std::uint8_t* top_row;
  std::ptrdiff_t stride;  // from one picture row to the one below it
  int width;
  int height;
  int bytes_per_pixel;  // 3 (blue, green, red) or 4 (0x00RRGGBB)
  HWND window;          // the window drawn on, or null for a bitmap
  HBITMAP bitmap;       // the bitmap drawn on, or null for a window
  Bitmap* bitmap_record;
};

// False when the context draws nowhere: unknown, no bitmap selected, or its window is gone.
// The GDI lock must be held.
bool DrawingPixels(HDC dc, Pixels* pixels);

inline std::uint8_t* PixelAddress(const Pixels& pixels, int x, int y) {
  return pixels.top_row + y * pixels.stride +
         static_cast<std::ptrdiff_t>(x) * pixels.bytes_per_pixel;
}

}  // namespace platform::gdi
