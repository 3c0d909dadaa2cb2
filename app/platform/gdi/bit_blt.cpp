// BitBlt with SRCCOPY: clips to both surfaces, converts between 24-bit and 32-bit pixels, and
// copies within one surface as if through a temporary picture.
#include <pixman.h>

#include <algorithm>
#include <cstring>

#include "platform/gdi/drawing_pixels.h"
#include "platform/gdi/gdi_objects.h"

namespace platform {
namespace gdi {
namespace {

struct Copy {
  int x, y, width, height;  // destination rectangle
  int source_x, source_y;
};

// Shrinks the copy to what exists in both surfaces; false when nothing is left. A source
// rectangle partly outside its bitmap copies the part that exists, to the matching place.
bool ClipCopy(Copy& copy, const Pixels& destination, const Pixels& source) {
  long long x = copy.x, y = copy.y, width = copy.width, height = copy.height;
  long long source_x = copy.source_x, source_y = copy.source_y;
  const auto clip_start = [](long long& start, long long& other, long long& size) {
    if (start < 0) {
      other -= start;
      size += start;
      start = 0;
    }
  };
  clip_start(source_x, x, width);
  clip_start(source_y, y, height);
  clip_start(x, source_x, width);
  clip_start(y, source_y, height);
  width = std::min({width, source.width - source_x, destination.width - x});
  height = std::min({height, source.height - source_y, destination.height - y});
  if (width <= 0 || height <= 0) return false;
  copy = Copy{static_cast<int>(x),      static_cast<int>(y),        static_cast<int>(width),
              static_cast<int>(height), static_cast<int>(source_x), static_cast<int>(source_y)};
  return true;
}

// Rows of equal format: plain memory copies, bottom row first when the destination lies below
// the source in the same surface.
void CopyRows(const Pixels& destination, const Pixels& source, const Copy& copy) {
  const std::size_t row_bytes = static_cast<std::size_t>(copy.width) * source.bytes_per_pixel;
  const bool upwards = destination.top_row == source.top_row && copy.y > copy.source_y;
  for (int i = 0; i < copy.height; ++i) {
    const int row = upwards ? copy.height - 1 - i : i;
    std::memmove(PixelAddress(destination, copy.x, copy.y + row),
                 PixelAddress(source, copy.source_x, copy.source_y + row), row_bytes);
  }
}

pixman_image_t* ImageOf(const Pixels& pixels) {
  const pixman_format_code_t format = pixels.bytes_per_pixel == 3 ? PIXMAN_r8g8b8 : PIXMAN_x8r8g8b8;
  // pixman takes the first picture row and a signed stride: a bottom-up bitmap needs no flip.
  return pixman_image_create_bits(format, pixels.width, pixels.height,
                                  reinterpret_cast<std::uint32_t*>(pixels.top_row),
                                  static_cast<int>(pixels.stride));
}

// Between 24-bit and 32-bit pixels (never within one surface: a surface has one format).
bool ConvertRows(const Pixels& destination, const Pixels& source, const Copy& copy) {
  pixman_image_t* to = ImageOf(destination);
  pixman_image_t* from = ImageOf(source);
  if (to && from) {
    pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, copy.source_x, copy.source_y, 0, 0,
                             copy.x, copy.y, copy.width, copy.height);
  }
  if (to) pixman_image_unref(to);
  if (from) pixman_image_unref(from);
  return to && from;
}

}  // namespace
}  // namespace gdi
}  // namespace platform

using namespace platform;
using namespace platform::gdi;

BOOL BitBlt(HDC destination_dc, int x, int y, int width, int height, HDC source_dc, int source_x,
            int source_y, DWORD rop) {
  if (rop != SRCCOPY || width < 0 || height < 0) return FALSE;
  Pixels destination, source;
  Copy copy{x, y, width, height, source_x, source_y};
  {
    std::lock_guard<std::mutex> hold(GdiLock());
    if (!DrawingPixels(destination_dc, &destination) || !DrawingPixels(source_dc, &source)) {
      return FALSE;
    }
    if (!ClipCopy(copy, destination, source)) return TRUE;
    if (destination.bytes_per_pixel == source.bytes_per_pixel) {
      CopyRows(destination, source, copy);
    } else if (!ConvertRows(destination, source, copy)) {
      return FALSE;
    }
  }
  MarkDrawn(destination, RECT{copy.x, copy.y, copy.x + copy.width, copy.y + copy.height});
  return TRUE;
}
