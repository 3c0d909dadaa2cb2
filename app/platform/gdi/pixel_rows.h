// Rows of pixels between the two layouts BitBlt meets: 24-bit (blue, green, red bytes) and 32-bit
// XRGB (0x00RRGGBB words, the top byte always 0). Both conversions run at about the speed of a
// memcpy of the bytes they write.
#pragma once

#include <cstddef>
#include <cstdint>

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

}  // namespace platform::gdi
