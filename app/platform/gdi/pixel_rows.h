// Rows of pixels between the two layouts BitBlt meets: 24-bit (blue, green, red bytes) and 32-bit
// XRGB (0x00RRGGBB words, the top byte always 0). Both conversions run at about the speed of a
// memcpy of the bytes they write. Each has a portable loop and, where the CPU runs them, vector
// loops (SSSE3 on x86, NEON on ARM), chosen once from the CPU's description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::gdi {

void Expand24To32(const std::uint8_t* source, std::uint32_t* target, int count);

// A block of rows; strides in bytes, negative for a picture stored bottom-up.
void Pack32To24(const std::uint8_t* source, std::ptrdiff_t source_stride, std::uint8_t* target,
                std::ptrdiff_t target_stride, int width, int height);

// The pixels [first, last) of a row that differ from the given ones; first == last when none.
struct ChangedSpan {
  int first, last;
};

// Writes the new pixels over the row and tells which of them differed from what it held.
ChangedSpan OverwriteRow(std::uint32_t* row, const std::uint32_t* pixels, int count);

// One way of running the three conversions. The functions above run the chosen one.
struct PixelRowPath {
  const char* name;
  void (*expand_24_to_32)(const std::uint8_t* source, std::uint32_t* target, int count);
  void (*pack_32_to_24)(const std::uint8_t* source, std::ptrdiff_t source_stride,
                        std::uint8_t* target, std::ptrdiff_t target_stride, int width, int height);
  ChangedSpan (*overwrite_row)(std::uint32_t* row, const std::uint32_t* pixels, int count);
};

// Every path this CPU runs, the portable one first and the chosen one last; tests hold each to
// the first, pixel for pixel.
std::vector<PixelRowPath> RunnablePixelRowPaths();

}  // namespace platform::gdi
