#include "decoded_bitmap.h"

#include <SDL.h>

#include <fstream>
#include <iterator>
#include <ostream>

#include "resources/panel_resources.h"

bool operator==(Pixel a, Pixel b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

std::ostream& operator<<(std::ostream& out, Pixel pixel) {
  return out << "(" << int{pixel.r} << ", " << int{pixel.g} << ", " << int{pixel.b} << ")";
}

static const ResourceBlob* FindBlob(const ResourceBlob* blobs, std::size_t count, UINT id) {
  for (std::size_t i = 0; i < count; ++i) {
    if (blobs[i].id == id) return &blobs[i];
  }
  return nullptr;
}

const ResourceBlob* FindBitmap(UINT id) {
  const ResourceTable& table = PanelResources();
  return FindBlob(table.bitmaps, table.bitmap_count, id);
}

const ResourceBlob* FindIcon(UINT id) {
  const ResourceTable& table = PanelResources();
  return FindBlob(table.icons, table.icon_count, id);
}

DecodedBitmap DecodeBmp(const unsigned char* data, std::size_t size) {
  DecodedBitmap bitmap;
  SDL_Surface* stored = SDL_LoadBMP_RW(SDL_RWFromConstMem(data, static_cast<int>(size)), 1);
  if (!stored) return bitmap;
  SDL_Surface* rgb = SDL_ConvertSurfaceFormat(stored, SDL_PIXELFORMAT_RGB24, 0);
  SDL_FreeSurface(stored);
  if (!rgb) return bitmap;
  bitmap.loaded = true;
  bitmap.width = rgb->w;
  bitmap.height = rgb->h;
  for (int y = 0; y < rgb->h; ++y) {
    const auto* row = static_cast<const std::uint8_t*>(rgb->pixels) + y * rgb->pitch;
    for (int x = 0; x < rgb->w; ++x) {
      bitmap.pixels.push_back({row[3 * x], row[3 * x + 1], row[3 * x + 2]});
    }
  }
  SDL_FreeSurface(rgb);
  return bitmap;
}

DecodedBitmap DecodeResourceBitmap(UINT id) {
  const ResourceBlob* blob = FindBitmap(id);
  return blob ? DecodeBmp(blob->data, blob->size) : DecodedBitmap{};
}

DecodedBitmap DecodeBmpFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
  return DecodeBmp(bytes.data(), bytes.size());
}

std::uint32_t FileU16(const ResourceBlob& blob, std::size_t offset) {
  return offset + 2 <= blob.size ? blob.data[offset] | blob.data[offset + 1] << 8 : 0;
}

std::uint32_t FileU32(const ResourceBlob& blob, std::size_t offset) {
  return FileU16(blob, offset) | FileU16(blob, offset + 2) << 16;
}
