// .bmp files into device bitmaps, through SDL2's decoder. Every file is checked first, so that
// SDL only ever sees a file whose headers are consistent and whose pixels are all there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

namespace platform::gdi {

// Files larger than this are refused unread.
constexpr std::size_t kLargestBmpFile = std::size_t{64} << 20;
// Pictures with more pixels than this are refused (a head unit's screen has 384000).
constexpr std::int64_t kLargestBmpPixels = std::int64_t{16} << 20;

// Decodes a .bmp file held in memory (1, 4, 8, 16, 24 or 32 bits per pixel, RLE included) into a
// new device bitmap (stored 24-bit for a 24-bit file, else 32-bit); null for a truncated,
// malformed or unsupported file.
HBITMAP BitmapFromBmp(const std::uint8_t* data, std::size_t size);

}  // namespace platform::gdi
