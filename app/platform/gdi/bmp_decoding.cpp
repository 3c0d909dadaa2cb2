// BMP checks and decoding.
#include "platform/gdi/bmp_decoding.h"

#include <SDL.h>

#include <cstring>

#include "platform/gdi/gdi_objects.h"

namespace platform::gdi {
namespace {

// BITMAPINFOHEADER.biCompression values.
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;  // OS/2 1.x: 16-bit sizes, 3-byte palette entries
constexpr std::size_t kInfoHeaderSize = 40;

std::uint16_t Read16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

std::uint32_t Read32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

bool KnownHeaderSize(std::uint32_t size) {
  // Core, info, the two Adobe extensions, OS/2 2.x, version 4 and version 5.
  for (std::uint32_t known : {12u, 40u, 52u, 56u, 64u, 108u, 124u}) {
    if (size == known) return true;
  }
  return false;
}

bool CompressionFits(std::uint32_t compression, int bits) {
  switch (compression) {
    case kRgb:
      return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case kRle8:
      return bits == 8;
    case kRle4:
      return bits == 4;
    case kBitFields:
      return bits == 16 || bits == 32;
    default:
      return false;
  }
}

// Whether the headers agree with each other and with the file's size: the picture is of a sane
// size, the palette and the masks lie inside the file, and uncompressed rows are all present.
bool BmpLooksSound(const std::uint8_t* data, std::size_t size) {
  if (size < kFileHeaderSize + kCoreHeaderSize || data[0] != 'B' || data[1] != 'M') return false;
  const std::uint32_t pixels_offset = Read32(data + 10);
  const std::uint32_t header_size = Read32(data + 14);
  if (!KnownHeaderSize(header_size) || kFileHeaderSize + header_size > size) return false;
  const std::uint8_t* header = data + kFileHeaderSize;
  const bool core = header_size == kCoreHeaderSize;
  const std::int64_t width =
      core ? Read16(header + 4) : static_cast<std::int32_t>(Read32(header + 4));
  std::int64_t height = core ? Read16(header + 6) : static_cast<std::int32_t>(Read32(header + 8));
  const int planes = core ? Read16(header + 8) : Read16(header + 12);
  const int bits = core ? Read16(header + 10) : Read16(header + 14);
  const std::uint32_t compression = core ? kRgb : Read32(header + 16);
  const std::uint32_t colours_used = core ? 0 : Read32(header + 32);
  const bool top_down = height < 0;
  if (top_down) height = -height;
  if (width <= 0 || height <= 0 || width * height > kLargestBmpPixels || planes != 1 ||
      !CompressionFits(compression, bits)) {
    return false;
  }
  // Run-length pictures are stored bottom-up only.
  if (top_down && (compression == kRle8 || compression == kRle4)) return false;
  std::uint64_t tables_end = kFileHeaderSize + header_size;
  if (compression == kBitFields && header_size == kInfoHeaderSize) tables_end += 12;
  if (bits <= 8) {
    const std::uint64_t palette_size = std::uint64_t{1} << bits;
    if (colours_used > palette_size) return false;
    tables_end += (colours_used ? colours_used : palette_size) * (core ? 3 : 4);
  }
  if (tables_end > size || pixels_offset < kFileHeaderSize + header_size || pixels_offset >= size) {
    return false;
  }
  if (compression == kRle8 || compression == kRle4) return true;
  const std::uint64_t row_bytes = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  return pixels_offset + row_bytes * static_cast<std::uint64_t>(height) <= size;
}

// Rows of a decoded picture, in the layout it has.
HBITMAP DeviceBitmapOf(const SDL_Surface& picture, int bits_per_pixel) {
  auto bitmap = NewBitmap(picture.w, picture.h, bits_per_pixel, false);
  if (!bitmap) return nullptr;
  bitmap->device = true;
  const std::size_t row_bytes = static_cast<std::size_t>(picture.w) * bits_per_pixel / 8;
  for (int row = 0; row < picture.h; ++row) {
    std::memcpy(bitmap->memory.get() + static_cast<std::size_t>(row) * bitmap->stride,
                static_cast<const std::uint8_t*>(picture.pixels) +
                    static_cast<std::size_t>(row) * picture.pitch,
                row_bytes);
  }
  std::lock_guard<std::mutex> hold(GdiLock());
  return AddBitmap(std::move(bitmap));
}

// Blue, green, red bytes: the 24-bit layout of BitBlt's DIB sections.
bool IsBgr24(const SDL_PixelFormat& format) {
  return format.BytesPerPixel == 3 && format.Bmask == 0x0000FF && format.Gmask == 0x00FF00 &&
         format.Rmask == 0xFF0000;
}

}  // namespace

HBITMAP BitmapFromBmp(const std::uint8_t* data, std::size_t size) {
  if (!data || size > kLargestBmpFile || !BmpLooksSound(data, size)) return nullptr;
  SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(size));
  if (!stream) return nullptr;
  SDL_Surface* decoded = SDL_LoadBMP_RW(stream, 1);
  if (!decoded) return nullptr;
  // A 24-bit picture stays 24-bit: the panel's pictures are copied into the 24-bit backdrop on
  // every refresh, which is then a plain copy instead of a conversion, and they take a quarter
  // less memory. Everything else becomes 32-bit XRGB.
  if (IsBgr24(*decoded->format)) {
    const HBITMAP bitmap = DeviceBitmapOf(*decoded, 24);
    SDL_FreeSurface(decoded);
    return bitmap;
  }
  SDL_Surface* converted = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_XRGB8888, 0);
  SDL_FreeSurface(decoded);
  if (!converted) return nullptr;
  const HBITMAP bitmap = DeviceBitmapOf(*converted, 32);
  SDL_FreeSurface(converted);
  return bitmap;
}

}  // namespace platform::gdi
