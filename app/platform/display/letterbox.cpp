// The letterbox arithmetic and the scaled drawing. Sizes are cross-multiplied in 64 bits, so that
// equal proportions give the exact area with no rounding.
#include "platform/display/letterbox.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUELT_X86_PERMUTE 1
#endif

#include "platform/display/letterbox_rows.h"

namespace platform::display {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000;
constexpr std::uint32_t kBar = kOpaque;  // black

std::int64_t CeilDivide(std::int64_t numerator, std::int64_t denominator) {
  return (numerator + denominator - 1) / denominator;
}

RECT FitRect(int picture_width, int picture_height, int area_width, int area_height) {
  if (picture_width <= 0 || picture_height <= 0 || area_width <= 0 || area_height <= 0) {
    return RECT{};
  }
  const std::int64_t wide = std::int64_t{area_width} * picture_height;
  const std::int64_t tall = std::int64_t{area_height} * picture_width;
  int width = area_width;
  int height = area_height;
  if (wide > tall) {
    width = static_cast<int>((tall + picture_height / 2) / picture_height);
  } else if (tall > wide) {
    height = static_cast<int>((wide + picture_width / 2) / picture_width);
  }
  width = std::max(width, 1);
  height = std::max(height, 1);
  const int left = (area_width - width) / 2;
  const int top = (area_height - height) / 2;
  return RECT{left, top, left + width, top + height};
}

// The picture index under the centre of an area pixel of the fit.
int SourceIndex(int area_index, int fit_start, int fit_length, int picture_length) {
  const std::int64_t offset = area_index - fit_start;
  return static_cast<int>((2 * offset + 1) * picture_length / (2 * std::int64_t{fit_length}));
}

std::vector<int> SourceIndices(int area_length, int fit_start, int fit_end, int picture_length) {
  std::vector<int> indices(static_cast<std::size_t>(std::max(area_length, 0)), -1);
  for (int index = fit_start; index < fit_end; ++index) {
    indices[index] = SourceIndex(index, fit_start, fit_end - fit_start, picture_length);
  }
  return indices;
}

constexpr int kBlockColumns = 8;

std::vector<Letterbox::ColumnBlock> ColumnBlocks(const Letterbox& letterbox) {
  std::vector<Letterbox::ColumnBlock> blocks;
  const RECT& fit = letterbox.fit;
  if (fit.right - fit.left <= letterbox.picture_width) return blocks;
  for (LONG start = fit.left; start + kBlockColumns <= fit.right; start += kBlockColumns) {
    Letterbox::ColumnBlock block{letterbox.source_columns[start], {}};
    // Scaled up, eight area columns show at most eight neighbouring picture columns.
    if (block.first + kBlockColumns > letterbox.picture_width) break;
    for (int i = 0; i < kBlockColumns; ++i) {
      block.offsets[i] = letterbox.source_columns[start + i] - block.first;
    }
    blocks.push_back(block);
  }
  return blocks;
}

// Columns [left, right) of the fit, through the row loop this processor runs best.
void ScaleColumns(const Letterbox& letterbox, const std::uint32_t* source, std::uint32_t* out,
                  LONG left, LONG right) {
  if (right <= left) return;
  ChosenLetterboxRowPath().scale_row(source, letterbox.source_columns.data() + left, out + left,
                                     static_cast<int>(right - left));
}

#ifdef QUELT_X86_PERMUTE
// One permute of eight picture pixels per block of eight area columns.
__attribute__((target("avx2"))) void DrawColumnBlocksAvx2(const Letterbox& letterbox,
                                                          const std::uint32_t* source,
                                                          std::uint32_t* out, LONG first_block,
                                                          LONG end_block) {
  const __m256i opaque = _mm256_set1_epi32(static_cast<int>(kOpaque));
  std::uint32_t* to = out + letterbox.fit.left + first_block * kBlockColumns;
  for (LONG b = first_block; b < end_block; ++b, to += kBlockColumns) {
    const Letterbox::ColumnBlock& block = letterbox.column_blocks[b];
    const __m256i pixels =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + block.first));
    const __m256i offsets = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block.offsets));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to),
                        _mm256_or_si256(_mm256_permutevar8x32_epi32(pixels, offsets), opaque));
  }
}

// Asked during static initialisation, so the CPU's description is read first.
const bool has_avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
#endif

// Scaled across, [left, right) inside the fit: the whole blocks a block at a time where the
// processor can, the columns around them through the row loop.
void DrawScaledColumns(const Letterbox& letterbox, const std::uint32_t* source, std::uint32_t* out,
                       LONG left, LONG right) {
#ifdef QUELT_X86_PERMUTE
  const LONG fit_left = letterbox.fit.left;
  const LONG first_block =
      (std::max(left, fit_left) - fit_left + kBlockColumns - 1) / kBlockColumns;
  const LONG end_block = std::min<LONG>((std::max(right, fit_left) - fit_left) / kBlockColumns,
                                        static_cast<LONG>(letterbox.column_blocks.size()));
  if (has_avx2 && first_block < end_block) {
    ScaleColumns(letterbox, source, out, left, fit_left + first_block * kBlockColumns);
    DrawColumnBlocksAvx2(letterbox, source, out, first_block, end_block);
    ScaleColumns(letterbox, source, out, fit_left + end_block * kBlockColumns, right);
    return;
  }
#endif
  ScaleColumns(letterbox, source, out, left, right);
}

void DrawRow(const Letterbox& letterbox, const std::uint32_t* source, std::uint32_t* out, LONG left,
             LONG right) {
  if (!source) {
    std::fill(out + left, out + right, kBar);
    return;
  }
  // The picture between the bars, scaled or at its own size across.
  const RECT& fit = letterbox.fit;
  const LONG inside_left = std::clamp(fit.left, left, right);
  const LONG inside_right = std::clamp(fit.right, inside_left, right);
  std::fill(out + left, out + inside_left, kBar);
  if (fit.right - fit.left != letterbox.picture_width) {
    DrawScaledColumns(letterbox, source, out, inside_left, inside_right);
  } else {
    ChosenLetterboxRowPath().copy_row(source + (inside_left - fit.left), out + inside_left,
                                      inside_right - inside_left);
  }
  std::fill(out + inside_right, out + right, kBar);
}

}  // namespace

Letterbox FitPicture(int picture_width, int picture_height, int area_width, int area_height) {
  Letterbox letterbox;
  letterbox.picture_width = picture_width;
  letterbox.picture_height = picture_height;
  letterbox.area_width = area_width;
  letterbox.area_height = area_height;
  letterbox.fit = FitRect(picture_width, picture_height, area_width, area_height);
  const RECT& fit = letterbox.fit;
  letterbox.source_columns = SourceIndices(area_width, fit.left, fit.right, picture_width);
  letterbox.source_rows = SourceIndices(area_height, fit.top, fit.bottom, picture_height);
  letterbox.column_blocks = ColumnBlocks(letterbox);
  return letterbox;
}

RECT AreaOfPictureRect(const Letterbox& letterbox, const RECT& picture_rect) {
  const RECT& fit = letterbox.fit;
  if (fit.right <= fit.left || picture_rect.right <= picture_rect.left ||
      picture_rect.bottom <= picture_rect.top) {
    return RECT{};
  }
  const std::int64_t fit_width = fit.right - fit.left;
  const std::int64_t fit_height = fit.bottom - fit.top;
  const std::int64_t left = picture_rect.left * fit_width / letterbox.picture_width;
  const std::int64_t top = picture_rect.top * fit_height / letterbox.picture_height;
  const std::int64_t right = CeilDivide(picture_rect.right * fit_width, letterbox.picture_width);
  const std::int64_t bottom =
      CeilDivide(picture_rect.bottom * fit_height, letterbox.picture_height);
  const RECT area{
      static_cast<LONG>(std::clamp<std::int64_t>(fit.left + left, fit.left, fit.right)),
      static_cast<LONG>(std::clamp<std::int64_t>(fit.top + top, fit.top, fit.bottom)),
      static_cast<LONG>(std::clamp<std::int64_t>(fit.left + right, fit.left, fit.right)),
      static_cast<LONG>(std::clamp<std::int64_t>(fit.top + bottom, fit.top, fit.bottom))};
  if (area.right <= area.left || area.bottom <= area.top) return RECT{};
  return area;
}

bool PictureOfAreaPoint(const Letterbox& letterbox, double x, double y, POINT* pixel) {
  const RECT& fit = letterbox.fit;
  if (fit.right <= fit.left || fit.bottom <= fit.top) return false;
  // Far outside, a position is as good as the edge; the clamp keeps it in range for int.
  const LONG column = static_cast<LONG>(std::floor(std::clamp(x, -1.0, 1e6)));
  const LONG row = static_cast<LONG>(std::floor(std::clamp(y, -1.0, 1e6)));
  const LONG left = std::clamp(column, fit.left, fit.right - 1);
  const LONG top = std::clamp(row, fit.top, fit.bottom - 1);
  pixel->x = SourceIndex(left, fit.left, fit.right - fit.left, letterbox.picture_width);
  pixel->y = SourceIndex(top, fit.top, fit.bottom - fit.top, letterbox.picture_height);
  return left == column && top == row;
}

void DrawLetterboxed(const Letterbox& letterbox, const std::uint32_t* picture, std::uint32_t* area,
                     int area_stride, const RECT& area_rect) {
  const LONG left = std::max<LONG>(area_rect.left, 0);
  const LONG top = std::max<LONG>(area_rect.top, 0);
  const LONG right = std::min<LONG>(area_rect.right, letterbox.area_width);
  const LONG bottom = std::min<LONG>(area_rect.bottom, letterbox.area_height);
  if (right <= left) return;
  for (LONG row = top; row < bottom; ++row) {
    const int from = letterbox.source_rows[row];
    std::uint32_t* out = area + static_cast<std::size_t>(row) * area_stride;
    // Scaled up, neighbouring area rows show the same picture row: the one above is a copy.
    if (row > top && from >= 0 && letterbox.source_rows[row - 1] == from) {
      std::memcpy(out + left, out - area_stride + left,
                  static_cast<std::size_t>(right - left) * sizeof(std::uint32_t));
      continue;
    }
    const std::uint32_t* source =
        from < 0 ? nullptr : picture + static_cast<std::size_t>(from) * letterbox.picture_width;
    DrawRow(letterbox, source, out, left, right);
  }
}

}  // namespace platform::display
