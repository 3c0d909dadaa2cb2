// BMP files from outside (the storage card's picture): whatever the bytes, decoding gives a
// well-formed bitmap or nothing, and never reads outside the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/gdi/bmp_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const HBITMAP bitmap = platform::gdi::BitmapFromBmp(data, size);
  if (!bitmap) return 0;
  BITMAP header{};
  if (GetObjectW(bitmap, sizeof header, &header) != sizeof header || header.bmBitsPixel != 32 ||
      header.bmWidth <= 0 || header.bmHeight <= 0 || header.bmWidthBytes != header.bmWidth * 4) {
    std::abort();
  }
  // Every pixel of the picture can be read back.
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, bitmap);
  BITMAPINFO info{};
  info.bmiHeader = {
      sizeof(BITMAPINFOHEADER), header.bmWidth, header.bmHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  HBITMAP copy = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
  HDC copy_dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ original = SelectObject(copy_dc, copy);
  if (!BitBlt(copy_dc, 0, 0, header.bmWidth, header.bmHeight, dc, 0, 0, SRCCOPY)) std::abort();
  SelectObject(copy_dc, original);
  DeleteDC(copy_dc);
  DeleteObject(copy);
  DeleteDC(dc);
  if (!DeleteObject(bitmap)) std::abort();
  return 0;
}
