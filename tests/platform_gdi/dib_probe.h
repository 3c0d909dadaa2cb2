// A DIB section selected into a memory context of its own, with its pixels read and written
// through the memory that GetObjectW points at: how the tests put pictures in and look at them.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/win32.h"

namespace platform::test {

// 0x00RRGGBB, whatever the layout of the bitmap.
using Rgb = std::uint32_t;

struct Dib {
  Dib(int width, int height, int bits_per_pixel, bool bottom_up);
  ~Dib();
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  Rgb Pixel(int x, int y) const;
  void SetPixel(int x, int y, Rgb colour);
  void Fill(Rgb colour);

  HBITMAP bitmap = nullptr;
  HDC dc = nullptr;
  HGDIOBJ replaced = nullptr;
  BITMAP info{};
  bool bottom_up;

 private:
  std::uint8_t* At(int x, int y) const;
};

// A device-compatible bitmap in a memory context of its own.
struct DeviceBitmap {
  DeviceBitmap(int width, int height);
  ~DeviceBitmap();
  DeviceBitmap(const DeviceBitmap&) = delete;
  DeviceBitmap& operator=(const DeviceBitmap&) = delete;

  HBITMAP bitmap = nullptr;
  HDC dc = nullptr;
  HGDIOBJ replaced = nullptr;
};

// Reads a pixel of any context by copying it into a 1 x 1 DIB; nothing when BitBlt fails.
std::optional<Rgb> PixelOf(HDC dc, int x, int y);

}  // namespace platform::test
