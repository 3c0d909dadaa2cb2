// Encodes pictures as .bmp files: a BITMAPFILEHEADER, a 40-byte BITMAPINFOHEADER, rows stored
// bottom-up without compression and padded to 4 bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "image.h"

using Bytes = std::vector<std::uint8_t>;

// 24 bits a pixel, bytes blue, green, red.
Bytes EncodeBmp24(const Image& image);

// 4 bits a pixel (the left pixel in the high half of a byte) with a 16-colour palette.
// Fails (returns an empty result) unless the palette has 16 colours and every index is below 16.
Bytes EncodeBmp4(int width, int height, const std::vector<std::uint8_t>& indices,
                 const std::vector<Rgb>& palette);

// Little-endian stores shared with the icon encoder.
void PutU16(Bytes& out, std::uint16_t value);
void PutU32(Bytes& out, std::uint32_t value);
// A BITMAPINFOHEADER without compression.
void PutInfoHeader(Bytes& out, int width, int height, int bits_per_pixel, std::uint32_t image_bytes,
                   std::uint32_t colours_used);
// Bytes in one stored row of the given width, padded to 4 bytes.
std::uint32_t RowStride(int width, int bits_per_pixel);
