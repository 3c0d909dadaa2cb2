// Pixel row conversions and the choice of their loops. 32 to 24 bits is libyuv's ARGBToRGB24,
// whose byte orders are ours exactly (ARGB is blue, green, red, alpha in memory; RGB24 blue,
// green, red) and which drops the fourth byte; libyuv has vector loops for it on x86 and 64-bit
// ARM, but Debian's 32-bit ARM build of it has none, so there the NEON loop is ours. Its way
// back, RGB24ToARGB, stores 255 in the fourth byte where our XRGB words hold 0, and clearing it
// again costs a second pass (measured 2.4x a memcpy), so the expansion is ours: one byte shuffle
// per four pixels that moves in zeros as it goes, as fast as libyuv's.
#include "platform/gdi/pixel_rows.h"

#include <libyuv/convert_from_argb.h>

#include <cstring>

#include "platform/gdi/pixel_row_loops.h"
#include "platform/internal/vector_units.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUELT_X86_SHUFFLE 1
#endif

namespace platform::gdi {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pixels are read as little-endian words");

void Expand24To32Portable(const std::uint8_t* source, std::uint32_t* target, int count) {
  for (int x = 0; x < count; ++x, source += 3) {
    target[x] = source[0] | source[1] << 8 | source[2] << 16;
  }
}

void Pack32To24Libyuv(const std::uint8_t* source, std::ptrdiff_t source_stride,
                      std::uint8_t* target, std::ptrdiff_t target_stride, int width, int height) {
  libyuv::ARGBToRGB24(source, static_cast<int>(source_stride), target,
                      static_cast<int>(target_stride), width, height);
}

// The ends of a changed row are found a block at a time by memcmp, then pixel by pixel.
ChangedSpan OverwriteRowPortable(std::uint32_t* row, const std::uint32_t* pixels, int count) {
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

namespace {

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
#endif

std::vector<PixelRowPath> FindRunnablePaths() {
  std::vector<PixelRowPath> paths{
      {"portable", Expand24To32Portable, Pack32To24Libyuv, OverwriteRowPortable}};
  [[maybe_unused]] const VectorUnits& units = HostVectorUnits();
#ifdef QUELT_X86_SHUFFLE
  if (units.ssse3)
    paths.push_back({"ssse3", Expand24To32Ssse3, Pack32To24Libyuv, OverwriteRowPortable});
#endif
#if defined(__aarch64__)
  // libyuv packs with NEON of its own here, and glibc's memcmp compares with it, both in fewer
  // instructions than our loops (bench/RESULTS.md); 32-bit ARM has neither.
  if (units.neon)
    paths.push_back({"neon", Expand24To32Neon, Pack32To24Libyuv, OverwriteRowPortable});
#elif defined(__arm__)
  if (units.neon) paths.push_back({"neon", Expand24To32Neon, Pack32To24Neon, OverwriteRowNeon});
#endif
  return paths;
}

// Chosen on first use, so that drawing during another file's static initialisation finds it.
const PixelRowPath& Chosen() {
  static const PixelRowPath chosen = FindRunnablePaths().back();
  return chosen;
}

}  // namespace

std::vector<PixelRowPath> RunnablePixelRowPaths() { return FindRunnablePaths(); }

void Expand24To32(const std::uint8_t* source, std::uint32_t* target, int count) {
  Chosen().expand_24_to_32(source, target, count);
}

void Pack32To24(const std::uint8_t* source, std::ptrdiff_t source_stride, std::uint8_t* target,
                std::ptrdiff_t target_stride, int width, int height) {
  Chosen().pack_32_to_24(source, source_stride, target, target_stride, width, height);
}

ChangedSpan OverwriteRow(std::uint32_t* row, const std::uint32_t* pixels, int count) {
  return Chosen().overwrite_row(row, pixels, count);
}

}  // namespace platform::gdi
