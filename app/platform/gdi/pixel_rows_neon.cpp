// The row conversions in ARM's Advanced SIMD (NEON). NEON loads and stores interleaved bytes
// itself: vld3 splits 3-byte pixels into blue, green and red lanes and vst4 writes them back with
// a fourth lane of zeros, so 24 <-> 32 bits is a load and a store per sixteen pixels. On 32-bit
// ARM this file alone is compiled for NEON, and is only called when the CPU has it; there the
// packing and the comparing copy are ours too, where 64-bit ARM has libyuv's and glibc's.
#include <arm_neon.h>

#include <cstring>

#include "platform/gdi/pixel_row_loops.h"

namespace platform::gdi {

void Expand24To32Neon(const std::uint8_t* source, std::uint32_t* target, int count) {
  const uint8x16_t zeros = vdupq_n_u8(0);
  int x = 0;
  for (; x + 16 <= count; x += 16, source += 48) {
    const uint8x16x3_t colours = vld3q_u8(source);
    const uint8x16x4_t words = {{colours.val[0], colours.val[1], colours.val[2], zeros}};
    vst4q_u8(reinterpret_cast<std::uint8_t*>(target + x), words);
  }
  if (x + 8 <= count) {
    const uint8x8x3_t colours = vld3_u8(source);
    const uint8x8x4_t words = {
        {colours.val[0], colours.val[1], colours.val[2], vget_low_u8(zeros)}};
    vst4_u8(reinterpret_cast<std::uint8_t*>(target + x), words);
    x += 8;
    source += 24;
  }
  Expand24To32Portable(source, target + x, count - x);
}

#if defined(__arm__)
namespace {

// Eight pixels of the row equal to those given. A vector compare leaves each lane all ones or
// all zeros; pairwise minima fold the lanes to one.
bool SameEight(const std::uint32_t* row, const std::uint32_t* pixels) {
  const uint32x4_t low = vceqq_u32(vld1q_u32(row), vld1q_u32(pixels));
  const uint32x4_t high = vceqq_u32(vld1q_u32(row + 4), vld1q_u32(pixels + 4));
  const uint32x4_t both = vandq_u32(low, high);
  const uint32x2_t halves = vand_u32(vget_low_u32(both), vget_high_u32(both));
  return vget_lane_u32(vpmin_u32(halves, halves), 0) == 0xFFFFFFFFu;
}

}  // namespace

void Pack32To24Neon(const std::uint8_t* source, std::ptrdiff_t source_stride, std::uint8_t* target,
                    std::ptrdiff_t target_stride, int width, int height) {
  for (int y = 0; y < height; ++y, source += source_stride, target += target_stride) {
    const std::uint8_t* from = source;
    std::uint8_t* to = target;
    int x = 0;
    for (; x + 16 <= width; x += 16, from += 64, to += 48) {
      const uint8x16x4_t words = vld4q_u8(from);
      const uint8x16x3_t colours = {{words.val[0], words.val[1], words.val[2]}};
      vst3q_u8(to, colours);
    }
    for (; x < width; ++x, from += 4, to += 3) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
  }
}

// The same span as the portable loop: the first and one past the last differing pixel.
ChangedSpan OverwriteRowNeon(std::uint32_t* row, const std::uint32_t* pixels, int count) {
  int first = 0;
  while (first + 8 <= count && SameEight(row + first, pixels + first)) first += 8;
  while (first < count && row[first] == pixels[first]) ++first;
  if (first == count) return ChangedSpan{count, count};
  int last = count;
  while (last - 8 > first && SameEight(row + last - 8, pixels + last - 8)) last -= 8;
  while (row[last - 1] == pixels[last - 1]) --last;
  std::memcpy(row + first, pixels + first, static_cast<std::size_t>(last - first) * 4);
  return ChangedSpan{first, last};
}
#endif

}  // namespace platform::gdi
