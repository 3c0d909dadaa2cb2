// BitBlt with SRCCOPY: clips to both surfaces, converts between 24-bit and 32-bit pixels, and
// copies within one surface as if through a temporary picture. Onto a window or a device bitmap
// it writes only the pixels that change and reports exactly those, so that a refresh which leaves
// most of the screen as it was compares and presents only the rest (window_mirrors.h).
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gdi/drawing_pixels.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/pixel_rows.h"
#include "platform/gdi/window_mirrors.h"

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

// Between 24-bit and 32-bit bitmaps (never within one surface: a surface has one format).
void ConvertRows(const Pixels& destination, const Pixels& source, const Copy& copy) {
  const std::uint8_t* from = PixelAddress(source, copy.source_x, copy.source_y);
  std::uint8_t* to = PixelAddress(destination, copy.x, copy.y);
  if (source.bytes_per_pixel == 4) {
    Pack32To24(from, source.stride, to, destination.stride, copy.width, copy.height);
    return;
  }
  for (int row = 0; row < copy.height; ++row, from += source.stride, to += destination.stride) {
    Expand24To32(from, reinterpret_cast<std::uint32_t*>(to), copy.width);
  }
}

// The changed rows of a copy, gathered into bands of consecutive rows: told to the display for a
// window, logged for a device bitmap.
class ChangedBands {
 public:
  explicit ChangedBands(const Pixels& destination) : destination_(destination) {}
  ~ChangedBands() { Flush(); }
  void Add(int y, int left, int right) {
    if (band_.bottom == y && band_.bottom > band_.top) {
      band_ = RECT{std::min<LONG>(band_.left, left), band_.top, std::max<LONG>(band_.right, right),
                   y + 1};
      return;
    }
    Flush();
    band_ = RECT{left, y, right, y + 1};
  }

 private:
  void Flush() {
    if (band_.bottom <= band_.top) return;
    if (destination_.window) {
      DisplayMarkDirty(destination_.window, band_);
    } else {
      NoteDrawing(destination_, band_);
    }
    band_ = RECT{};
  }
  const Pixels& destination_;
  RECT band_{};
};

// Onto a 32-bit window or device bitmap: each row is brought to 32 bits first if need be, and
// only the pixels that differ are written and reported. A copy within one surface takes the rows
// in the order that reads each source row before it is overwritten.
void CopyComparing(const Pixels& destination, const Pixels& source, const Copy& copy) {
  thread_local std::vector<std::uint32_t> expanded;
  if (source.bytes_per_pixel == 3) expanded.resize(static_cast<std::size_t>(copy.width));
  const bool same_surface = destination.top_row == source.top_row;
  const bool upwards = same_surface && copy.y > copy.source_y;
  ChangedBands bands(destination);
  for (int i = 0; i < copy.height; ++i) {
    const int row = upwards ? copy.height - 1 - i : i;
    const std::uint8_t* from = PixelAddress(source, copy.source_x, copy.source_y + row);
    const std::uint32_t* pixels = reinterpret_cast<const std::uint32_t*>(from);
    if (source.bytes_per_pixel == 3) {
      Expand24To32(from, expanded.data(), copy.width);
      pixels = expanded.data();
    } else if (same_surface) {
      // Overlapping spans within one row: through a copy of the source row.
      expanded.assign(pixels, pixels + copy.width);
      pixels = expanded.data();
    }
    auto* to = reinterpret_cast<std::uint32_t*>(PixelAddress(destination, copy.x, copy.y + row));
    const ChangedSpan changed = OverwriteRow(to, pixels, copy.width);
    if (changed.first < changed.last) {
      bands.Add(copy.y + row, copy.x + changed.first, copy.x + changed.last);
    }
  }
}

// Onto a window: only where the window may not hold the source's pixels already.
void CopyOntoWindow(const Pixels& window, const Pixels& source, const Copy& copy) {
  const RECT area{copy.x, copy.y, copy.x + copy.width, copy.y + copy.height};
  for (const RECT& rect : RectsThatMayChange(window, source, area, copy.source_x, copy.source_y)) {
    CopyComparing(window, source,
                  Copy{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                       copy.source_x + (rect.left - copy.x), copy.source_y + (rect.top - copy.y)});
  }
  NoteCopied(window, source, area, copy.source_x, copy.source_y);
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
  std::lock_guard<std::mutex> hold(GdiLock());
  if (!DrawingPixels(destination_dc, &destination) || !DrawingPixels(source_dc, &source)) {
    return FALSE;
  }
  if (!ClipCopy(copy, destination, source)) return TRUE;
  if (destination.window) {
    CopyOntoWindow(destination, source, copy);
    return TRUE;
  }
  if (destination.bytes_per_pixel == 4 && destination.bitmap_record->device) {
    CopyComparing(destination, source, copy);
    return TRUE;
  }
  if (destination.bytes_per_pixel == source.bytes_per_pixel) {
    CopyRows(destination, source, copy);
  } else {
    ConvertRows(destination, source, copy);
  }
  NoteDrawing(destination, RECT{copy.x, copy.y, copy.x + copy.width, copy.y + copy.height});
  return TRUE;
}
