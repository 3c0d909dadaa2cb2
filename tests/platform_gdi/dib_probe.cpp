#include "tests/platform_gdi/dib_probe.h"

namespace platform::test {

Dib::Dib(int width, int height, int bits_per_pixel, bool bottom_up_rows)
    : bottom_up(bottom_up_rows) {
  BITMAPINFO bitmap_info{};
  bitmap_info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bitmap_info.bmiHeader.biWidth = width;
  bitmap_info.bmiHeader.biHeight = bottom_up ? height : -height;
  bitmap_info.bmiHeader.biPlanes = 1;
  bitmap_info.bmiHeader.biBitCount = static_cast<WORD>(bits_per_pixel);
  bitmap_info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap = CreateDIBSection(nullptr, &bitmap_info, DIB_RGB_COLORS, &bits, nullptr, 0);
  dc = CreateCompatibleDC(nullptr);
  replaced = SelectObject(dc, bitmap);
  GetObjectW(bitmap, sizeof info, &info);
}

Dib::~Dib() {
  SelectObject(dc, replaced);
  DeleteDC(dc);
  DeleteObject(bitmap);
}

std::uint8_t* Dib::At(int x, int y) const {
  const int stored_row = bottom_up ? info.bmHeight - 1 - y : y;
  return static_cast<std::uint8_t*>(info.bmBits) + stored_row * info.bmWidthBytes +
         x * (info.bmBitsPixel / 8);
}

Rgb Dib::Pixel(int x, int y) const {
  const std::uint8_t* pixel = At(x, y);
  return static_cast<Rgb>(pixel[2]) << 16 | static_cast<Rgb>(pixel[1]) << 8 | pixel[0];
}

void Dib::SetPixel(int x, int y, Rgb colour) {
  std::uint8_t* pixel = At(x, y);
  pixel[0] = static_cast<std::uint8_t>(colour);
  pixel[1] = static_cast<std::uint8_t>(colour >> 8);
  pixel[2] = static_cast<std::uint8_t>(colour >> 16);
}

void Dib::Fill(Rgb colour) {
  for (int y = 0; y < info.bmHeight; ++y) {
    for (int x = 0; x < info.bmWidth; ++x) SetPixel(x, y, colour);
  }
}

DeviceBitmap::DeviceBitmap(int width, int height) {
  dc = CreateCompatibleDC(nullptr);
  bitmap = CreateCompatibleBitmap(dc, width, height);
  replaced = SelectObject(dc, bitmap);
}

DeviceBitmap::~DeviceBitmap() {
  SelectObject(dc, replaced);
  DeleteDC(dc);
  DeleteObject(bitmap);
}

std::optional<Rgb> PixelOf(HDC dc, int x, int y) {
  Dib probe(1, 1, 24, true);
  if (!BitBlt(probe.dc, 0, 0, 1, 1, dc, x, y, SRCCOPY)) return std::nullopt;
  return probe.Pixel(0, 0);
}

}  // namespace platform::test
