// Pixel row conversions. 32 to 24 bits is libyuv's ARGBToRGB24, whose byte orders are ours
// exactly (ARGB is blue, green, red, alpha in memory; RGB24 blue, green, red) and which drops the
// fourth byte. Its way back, RGB24ToARGB, stores 255 in the fourth byte where our XRGB words hold
// 0, and clearing it again costs a second pass (measured 2.4x a memcpy), so the expansion is ours:
// one byte shuffle per four pixels that moves in zeros as it goes, as fast as libyuv's.
#include "platform/gdi/pixel_rows.h"

#include <libyuv/convert_from_argb.h>

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUELT_X86_SHUFFLE 1
#endif

namespace platform::gdi {
namespace {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pixels are read as little-endian words");

void Expand24To32Portable(const std::uint8_t* source, std::uint32_t* target, int count) {
  for (int x = 0; x < count; ++x, source += 3) {
    target[x] = source[0] | source[1] << 8 | source[2] << 16;
  }
}

#ifdef QUELT_X86_SHUFFLE
// Sixteen pixels from three 16-byte loads: each shuffle takes four 3-byte pixels and puts a zero
// (index -128) after each.
__attribute__((target("ssse3"))) void Expand24To32Ssse3(const std::uint8_t* source,
                                                        std::uint32_t* target, int count) {
  const __m128i spread =
      _mm_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128);
  int x = 0;
  for (; x + 16 <= count; x += 16, source += 48) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 32));
    __m128i* out = reinterpret_cast<__m128i*>(target + x);
    _mm_storeu_si128(out, _mm_shuffle_epi8(a, spread));
    _mm_storeu_si128(out + 1, _mm_shuffle_epi8(_mm_alignr_epi8(b, a, 12), spread));
    _mm_storeu_si128(out + 2, _mm_shuffle_epi8(_mm_alignr_epi8(c, b, 8), spread));
    _mm_storeu_si128(out + 3, _mm_shuffle_epi8(_mm_srli_si128(c, 4), spread));
  }
  Expand24To32Portable(source, target + x, count - x);
}

// Asked during static initialisation, so the CPU's description is read first.
const bool has_ssse3 = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));
#endif

}  // namespace

void Expand24To32(const std::uint8_t* source, std::uint32_t* target, int count) {
#ifdef QUELT_X86_SHUFFLE
  if (has_ssse3) return Expand24To32Ssse3(source, target, count);
#endif
  Expand24To32Portable(source, target, count);
}

void Pack32To24(const std::uint8_t* source, std::ptrdiff_t source_stride, std::uint8_t* target,
                std::ptrdiff_t target_stride, int width, int height) {
  libyuv::ARGBToRGB24(source, static_cast<int>(source_stride), target,
                      static_cast<int>(target_stride), width, height);
}

// The ends of a changed row are found a block at a time by memcmp, then pixel by pixel.
ChangedSpan OverwriteRow(std::uint32_t* row, const std::uint32_t* pixels, int count) {
  constexpr int kBlock = 16;
  const auto same = [&](int from, int pixels_count) {
    return std::memcmp(row + from, pixels + from, static_cast<std::size_t>(pixels_count) * 4) == 0;
  };
  if (same(0, count)) return ChangedSpan{count, count};
  int first = 0;
  while (first + kBlock <= count && same(first, kBlock)) first += kBlock;
  while (row[first] == pixels[first]) ++first;
  int last = count;
  while (last - kBlock > first && same(last - kBlock, kBlock)) last -= kBlock;
  while (row[last - 1] == pixels[last - 1]) --last;
  std::memcpy(row + first, pixels + first, static_cast<std::size_t>(last - first) * 4);
  return ChangedSpan{first, last};
}

}  // namespace platform::gdi
