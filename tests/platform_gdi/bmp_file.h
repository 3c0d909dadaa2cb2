// Builds .bmp files in memory: every depth, palettes, both run-length encodings, the old OS/2
// header, and deliberately broken variants.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace platform::test {

// BITMAPINFOHEADER.biCompression values.
constexpr std::uint32_t kBmpRgb = 0;
constexpr std::uint32_t kBmpRle8 = 1;
constexpr std::uint32_t kBmpRle4 = 2;

struct BmpLayout {
  int width = 0;
  int height = 0;  // negative: rows stored top-down
  int bits = 24;
  std::uint32_t compression = kBmpRgb;
  std::uint32_t header_size = 40;      // 12 for the OS/2 1.x header
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::vector<std::uint8_t> pixels;    // stored rows, or the run-length stream
};

std::vector<std::uint8_t> BmpFile(const BmpLayout& layout);

// A pixel's stored value: a palette index, or 0x00RRGGBB for 16, 24 and 32 bits (16 bits keeps
// the top five bits of each channel).
using PixelValue = std::function<std::uint32_t(int x, int y)>;

// The stored rows of an uncompressed picture, padded to 4 bytes.
std::vector<std::uint8_t> StoredRows(int width, int height, int bits, const PixelValue& value);
// The run-length stream (RLE8 for 8 bits, RLE4 for 4), bottom row first, using both the encoded
// and the absolute mode.
std::vector<std::uint8_t> RunLengthStream(int width, int height, int bits, const PixelValue& value);

}  // namespace platform::test
