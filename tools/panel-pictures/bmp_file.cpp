#include "bmp_file.h"

constexpr std::uint32_t FileHeaderBytes = 14;
constexpr std::uint32_t InfoHeaderBytes = 40;
// 72 dots per inch, in the header's dots per metre.
constexpr std::uint32_t DotsPerMetre = 2835;

void PutU16(Bytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutU32(Bytes& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t RowStride(int width, int bits_per_pixel) {
  return (static_cast<std::uint32_t>(width) * bits_per_pixel + 31) / 32 * 4;
}

void PutInfoHeader(Bytes& out, int width, int height, int bits_per_pixel, std::uint32_t image_bytes,
                   std::uint32_t colours_used) {
  PutU32(out, InfoHeaderBytes);
  PutU32(out, static_cast<std::uint32_t>(width));
  PutU32(out, static_cast<std::uint32_t>(height));  // positive: rows stored bottom-up
  PutU16(out, 1);                                   // planes
  PutU16(out, static_cast<std::uint16_t>(bits_per_pixel));
  PutU32(out, 0);  // BI_RGB
  PutU32(out, image_bytes);
  PutU32(out, DotsPerMetre);
  PutU32(out, DotsPerMetre);
  PutU32(out, colours_used);
  PutU32(out, 0);  // all colours important
}

static void PutFileHeader(Bytes& out, std::uint32_t pixel_offset, std::uint32_t image_bytes) {
  out.push_back('B');
  out.push_back('M');
  PutU32(out, pixel_offset + image_bytes);
  PutU32(out, 0);  // two reserved words
  PutU32(out, pixel_offset);
}

Bytes EncodeBmp24(const Image& image) {
  const std::uint32_t stride = RowStride(image.width, 24);
  const std::uint32_t image_bytes = stride * image.height;
  const std::uint32_t pixel_offset = FileHeaderBytes + InfoHeaderBytes;
  Bytes out;
  out.reserve(pixel_offset + image_bytes);
  PutFileHeader(out, pixel_offset, image_bytes);
  PutInfoHeader(out, image.width, image.height, 24, image_bytes, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    const std::size_t row_start = out.size();
    for (int x = 0; x < image.width; ++x) {
      const Rgb pixel = image.At(x, y);
      out.push_back(pixel.b);
      out.push_back(pixel.g);
      out.push_back(pixel.r);
    }
    out.resize(row_start + stride, 0);
  }
  return out;
}

Bytes EncodeBmp4(int width, int height, const std::vector<std::uint8_t>& indices,
                 const std::vector<Rgb>& palette) {
  constexpr std::uint32_t PaletteColours = 16;
  if (palette.size() != PaletteColours || width <= 0 || height <= 0 ||
      indices.size() != static_cast<std::size_t>(width) * height) {
    return {};
  }
  for (std::uint8_t index : indices) {
    if (index >= PaletteColours) return {};
  }
  const std::uint32_t stride = RowStride(width, 4);
  const std::uint32_t image_bytes = stride * height;
  const std::uint32_t pixel_offset = FileHeaderBytes + InfoHeaderBytes + 4 * PaletteColours;
  Bytes out;
  PutFileHeader(out, pixel_offset, image_bytes);
  PutInfoHeader(out, width, height, 4, image_bytes, PaletteColours);
  for (Rgb colour : palette) {  // RGBQUAD: blue, green, red, reserved
    out.push_back(colour.b);
    out.push_back(colour.g);
    out.push_back(colour.r);
    out.push_back(0);
  }
  for (int y = height - 1; y >= 0; --y) {
    const std::size_t row_start = out.size();
    for (int x = 0; x < width; x += 2) {
      const std::uint8_t left = indices[static_cast<std::size_t>(y) * width + x];
      const std::uint8_t right =
          x + 1 < width ? indices[static_cast<std::size_t>(y) * width + x + 1] : 0;
      out.push_back(static_cast<std::uint8_t>(left << 4 | right));
    }
    out.resize(row_start + stride, 0);
  }
  return out;
}
