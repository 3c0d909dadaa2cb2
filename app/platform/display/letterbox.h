// Where a window's picture lands on an area of another size: scaled to fit with its proportions
// kept, centred, with black bars on the other axis; and the way back from a touch on the area to
// the picture's pixel drawn under it. Full-screen windows on a screen that is not their size use
// it, on every real display. The drawing takes each picture row once and copies the screen rows
// that repeat it, and scales a row up through tables made once per size.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win32.h"

namespace platform::display {

struct Letterbox {
  int picture_width = 0;
  int picture_height = 0;
  int area_width = 0;
  int area_height = 0;
  RECT fit{};  // where the picture lands in the area
  // The picture column (row) that each area column (row) shows; -1 on a bar.
  std::vector<int> source_columns;
  std::vector<int> source_rows;
  // Scaling up across, the fit's columns by blocks of eight from fit.left: the first picture
  // column a block shows and each of its eight columns' distance from that one. Only blocks
  // whose eight picture pixels from `first` lie inside the picture row are listed.
  struct ColumnBlock {
    std::int32_t first;
    std::int32_t offsets[8];
  };
  std::vector<ColumnBlock> column_blocks;
};

Letterbox FitPicture(int picture_width, int picture_height, int area_width, int area_height);

// The area pixels that show any pixel of a picture rectangle: what to redraw when it changed.
RECT AreaOfPictureRect(const Letterbox& letterbox, const RECT& picture_rect);

// The picture pixel drawn at an area position. False when the position lies on a bar; the pixel
// is then that of the nearest picture edge.
bool PictureOfAreaPoint(const Letterbox& letterbox, double x, double y, POINT* pixel);

// Draws area_rect of the area (rows of area_stride pixels) from the picture (rows of
// picture_width pixels, 0x00RRGGBB): nearest-neighbour samples, bars black, and the top byte of
// every pixel set, so that a consumer that reads it as alpha sees the picture opaque.
void DrawLetterboxed(const Letterbox& letterbox, const std::uint32_t* picture, std::uint32_t* area,
                     int area_stride, const RECT& area_rect);

}  // namespace platform::display
