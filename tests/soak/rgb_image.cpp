#include "tests/soak/rgb_image.h"

#include <algorithm>
#include <cstring>

namespace {

std::uint32_t Little(const std::uint8_t* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

}  // namespace

void CopyBlock(const RgbImage& source, int sx, int sy, RgbImage* target, int dx, int dy, int w,
               int h) {
  // Trim the block where it leaves either picture, moving both corners alike.
  const int left = std::max({0, -sx, -dx});
  const int top = std::max({0, -sy, -dy});
  const int right = std::min({w, source.width - sx, target->width - dx});
  const int bottom = std::min({h, source.height - sy, target->height - dy});
  if (left >= right) return;
  for (int y = top; y < bottom; ++y) {
    std::memcpy(target->At(dx + left, dy + y), source.At(sx + left, sy + y),
                static_cast<std::size_t>(right - left) * 3);
  }
}

bool ReadBmp(const std::uint8_t* data, std::size_t size, RgbImage* image) {
  if (size < 54 || data[0] != 'B' || data[1] != 'M') return false;
  const std::uint32_t pixel_offset = Little(data + 10, 4);
  const std::uint32_t header_size = Little(data + 14, 4);
  const int width = static_cast<std::int32_t>(Little(data + 18, 4));
  const int stored_height = static_cast<std::int32_t>(Little(data + 22, 4));
  const int bits = static_cast<int>(Little(data + 28, 2));
  const std::uint32_t compression = Little(data + 30, 4);
  const int height = stored_height < 0 ? -stored_height : stored_height;
  if (width <= 0 || height <= 0 || compression != 0 || (bits != 4 && bits != 8 && bits != 24)) {
    return false;
  }
  const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  if (pixel_offset + stride * height > size) return false;
  const std::uint8_t* palette = data + 14 + header_size;  // blue, green, red, unused
  *image = RgbImage(width, height);
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* stored = data + pixel_offset + stride * row;
    const int y = stored_height > 0 ? height - 1 - row : row;
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* bgr = nullptr;
      if (bits == 24) {
        bgr = stored + 3 * x;
      } else {
        const int index = bits == 8 ? stored[x] : (stored[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
        bgr = palette + 4 * index;
      }
      std::uint8_t* out = image->At(x, y);
      out[0] = bgr[2];
      out[1] = bgr[1];
      out[2] = bgr[0];
    }
  }
  return true;
}
