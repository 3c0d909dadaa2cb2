// Resolves a device context to the pixels it draws on.
#include "platform/gdi/drawing_pixels.h"

#include "platform/gdi/gdi_objects.h"

namespace platform::gdi {

bool DrawingPixels(HDC handle, Pixels* pixels) {
  const DeviceContext* dc = FindDc(handle);
  if (!dc) return false;
  if (dc->kind != DcKind::Memory) {
    Surface32 surface;
    if (!DisplayWindowSurface(dc->window, &surface)) return false;
    *pixels = Pixels{reinterpret_cast<std::uint8_t*>(surface.pixels),
                     surface.stride,
                     surface.width,
                     surface.height,
                     4,
                     dc->window,
                     nullptr,
                     nullptr};
    return true;
  }
  Bitmap* bitmap = FindBitmap(dc->bitmap);
  if (!bitmap) return false;
  std::uint8_t* top_row = bitmap->memory.get();
  std::ptrdiff_t stride = bitmap->stride;
  if (bitmap->bottom_up && bitmap->height > 0) {
    top_row += static_cast<std::ptrdiff_t>(bitmap->height - 1) * stride;
    stride = -stride;
  }
  *pixels = Pixels{top_row, stride,     bitmap->width, bitmap->height, bitmap->bits_per_pixel / 8,
                   nullptr, dc->bitmap, bitmap};
  return true;
}

}  // namespace platform::gdi
