// The resource pictures as the program sees them: decoded by SDL2's BMP reader, which is the
// decoder the platform loads bitmaps with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/resources.h"

struct Pixel {
  std::uint8_t r;
  std::uint8_t g;
  std::uint8_t b;
};

bool operator==(Pixel a, Pixel b);
std::ostream& operator<<(std::ostream& out, Pixel pixel);

struct DecodedBitmap {
  bool loaded = false;
  int width = 0;
  int height = 0;
  std::vector<Pixel> pixels;  // rows top to bottom

  Pixel At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The stored file of a bitmap or an icon group in the panel's resource table, or null.
const ResourceBlob* FindBitmap(UINT id);
const ResourceBlob* FindIcon(UINT id);

DecodedBitmap DecodeBmp(const unsigned char* data, std::size_t size);
DecodedBitmap DecodeResourceBitmap(UINT id);
DecodedBitmap DecodeBmpFile(const std::string& path);

// Little-endian fields of a stored file.
std::uint32_t FileU16(const ResourceBlob& blob, std::size_t offset);
std::uint32_t FileU32(const ResourceBlob& blob, std::size_t offset);
