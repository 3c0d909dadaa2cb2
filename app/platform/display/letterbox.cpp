// The letterbox arithmetic and the scaled drawing. Sizes are cross-multiplied in 64 bits, so that
// equal proportions give the exact area with no rounding.
#include "platform/display/letterbox.h"

#include <algorithm>
#include <cmath>

#include "platform/display/letterbox_rows.h"

namespace platform::display {
namespace {

constexpr std::uint32_t kBar = 0xFF000000;  // black, opaque

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
  const LetterboxRowPath& rows = ChosenLetterboxRowPath();
  std::fill(out + left, out + inside_left, kBar);
  if (fit.right - fit.left != letterbox.picture_width) {
    rows.scale_row(source, letterbox.source_columns.data() + inside_left, out + inside_left,
                   inside_right - inside_left);
  } else {
    rows.copy_row(source + (inside_left - fit.left), out + inside_left, inside_right - inside_left);
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
    const std::uint32_t* source =
        from < 0 ? nullptr : picture + static_cast<std::size_t>(from) * letterbox.picture_width;
    DrawRow(letterbox, source, area + static_cast<std::size_t>(row) * area_stride, left, right);
  }
}

}  // namespace platform::display
