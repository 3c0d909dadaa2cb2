// Encodes an icon group as an .ico file: one 32-bit image (with its transparency mask) per size.
#pragma once

#include <cstdint>
#include <vector>

#include "bmp_file.h"
#include "image.h"

struct IconImage {
  Image colour;
  std::vector<std::uint8_t> alpha;  // per pixel, rows top to bottom; 0 is transparent
};

// Each image must be square, 1 to 255 pixels a side, with one alpha value per pixel.
// Fails (returns an empty result) otherwise.
Bytes EncodeIco(const std::vector<IconImage>& images);
