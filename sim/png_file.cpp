// A minimal PNG writer: signature, IHDR, one IDAT of zlib data, IEND; each chunk with its CRC.
#include "sim/png_file.h"

#include <zlib.h>

#include <cstdio>

namespace sim {
namespace {

void AppendBigEndian(std::vector<std::uint8_t>* out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out->push_back(static_cast<std::uint8_t>(value >> shift));
}

void AppendChunk(std::vector<std::uint8_t>* out, const char* type,
                 const std::vector<std::uint8_t>& data) {
  AppendBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t type_at = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data.begin(), data.end());
  const uLong crc = crc32(0, out->data() + type_at, static_cast<uInt>(data.size() + 4));
  AppendBigEndian(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

bool WritePng(const std::string& path, int width, int height,
              const std::vector<std::uint8_t>& rgb) {
  // Each row starts with filter type 0 (none).
  std::vector<std::uint8_t> raw;
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgb.begin() + y * row_bytes, rgb.begin() + (y + 1) * row_bytes);
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 9) !=
      Z_OK) {
    return false;
  }
  packed.resize(packed_size);

  std::vector<std::uint8_t> header;
  AppendBigEndian(&header, static_cast<std::uint32_t>(width));
  AppendBigEndian(&header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits per channel, RGB, no interlace
  std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  AppendChunk(&file, "IHDR", header);
  AppendChunk(&file, "IDAT", packed);
  AppendChunk(&file, "IEND", {});

  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && written;
}

}  // namespace sim
