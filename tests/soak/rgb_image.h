// Pictures as the soak's reference renderer holds them: RGB bytes, rows top first, and a tiny
// reader of the uncompressed BMP files that the panel's pictures are stored as.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // 3 bytes a pixel, rows top first

  RgbImage() = default;
  RgbImage(int w, int h) : width(w), height(h), rgb(static_cast<std::size_t>(w) * h * 3) {}
  std::uint8_t* At(int x, int y) { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
  const std::uint8_t* At(int x, int y) const {
    return &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
  }
};

// Copies a w x h block from (sx, sy) of source to (dx, dy) of target, clipped to both pictures as
// a plain source copy is.
void CopyBlock(const RgbImage& source, int sx, int sy, RgbImage* target, int dx, int dy, int w,
               int h);

// An uncompressed BMP of 4, 8 or 24 bits a pixel, bottom-up or top-down; false for anything else.
bool ReadBmp(const std::uint8_t* data, std::size_t size, RgbImage* image);
