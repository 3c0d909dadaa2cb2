#include "ico_file.h"

constexpr std::uint32_t DirectoryHeaderBytes = 6;
constexpr std::uint32_t DirectoryEntryBytes = 16;

static bool Encodable(const IconImage& image) {
  const Image& colour = image.colour;
  return colour.width == colour.height && colour.width >= 1 && colour.width <= 255 &&
         image.alpha.size() == colour.pixels.size();
}

// An icon image is a BITMAPINFOHEADER of twice the height (colour rows, then the mask rows),
// the 32-bit colour rows bottom-up, then a 1-bit mask (1 = transparent) bottom-up.
static Bytes EncodeIconImage(const IconImage& image) {
  const int size = image.colour.width;
  const std::uint32_t colour_bytes = RowStride(size, 32) * size;
  const std::uint32_t mask_stride = RowStride(size, 1);
  Bytes out;
  PutInfoHeader(out, size, 2 * size, 32, colour_bytes + mask_stride * size, 0);
  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) {
      const Rgb pixel = image.colour.At(x, y);
      out.push_back(pixel.b);
      out.push_back(pixel.g);
      out.push_back(pixel.r);
      out.push_back(image.alpha[static_cast<std::size_t>(y) * size + x]);
    }
  }
  for (int y = size - 1; y >= 0; --y) {
    Bytes row(mask_stride, 0);
    for (int x = 0; x < size; ++x) {
      if (image.alpha[static_cast<std::size_t>(y) * size + x] == 0) row[x / 8] |= 0x80 >> (x % 8);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

Bytes EncodeIco(const std::vector<IconImage>& images) {
  if (images.empty() || images.size() > 0xFFFF) return {};
  for (const IconImage& image : images) {
    if (!Encodable(image)) return {};
  }
  Bytes out;
  PutU16(out, 0);  // reserved
  PutU16(out, 1);  // an icon, not a cursor
  PutU16(out, static_cast<std::uint16_t>(images.size()));
  std::uint32_t offset = DirectoryHeaderBytes + DirectoryEntryBytes * images.size();
  std::vector<Bytes> encoded;
  for (const IconImage& image : images) {
    encoded.push_back(EncodeIconImage(image));
    const auto size = static_cast<std::uint8_t>(image.colour.width);
    out.push_back(size);  // width
    out.push_back(size);  // height
    out.push_back(0);     // no palette
    out.push_back(0);     // reserved
    PutU16(out, 1);       // planes
    PutU16(out, 32);      // bits per pixel
    PutU32(out, static_cast<std::uint32_t>(encoded.back().size()));
    PutU32(out, offset);
    offset += static_cast<std::uint32_t>(encoded.back().size());
  }
  for (const Bytes& image : encoded) out.insert(out.end(), image.begin(), image.end());
  return out;
}
