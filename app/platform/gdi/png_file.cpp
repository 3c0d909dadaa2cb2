// A minimal PNG writer: signature, IHDR, one IDAT of zlib data, IEND; each chunk with its CRC.
#include "platform/png_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>

namespace platform {
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

bool EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb,
               std::vector<std::uint8_t>* file) {
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
  if (width <= 0 || height <= 0 || rgb.size() != row_bytes * static_cast<std::size_t>(height)) {
    return false;
  }
  // Each row starts with filter type 0 (none).
  std::vector<std::uint8_t> raw;
  raw.reserve((row_bytes + 1) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    const auto row = rgb.begin() + static_cast<std::ptrdiff_t>(y * row_bytes);
    raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(row_bytes));
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK) {
    return false;
  }
  packed.resize(packed_size);

  std::vector<std::uint8_t> header;
  AppendBigEndian(&header, static_cast<std::uint32_t>(width));
  AppendBigEndian(&header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits per channel, RGB, no interlace
  *file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  AppendChunk(file, "IHDR", header);
  AppendChunk(file, "IDAT", packed);
  AppendChunk(file, "IEND", {});
  return true;
}

bool WriteWhole(int fd, const std::vector<std::uint8_t>& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t done = write(fd, bytes.data() + written, bytes.size() - written);
    if (done <= 0) return false;
    written += static_cast<std::size_t>(done);
  }
  return true;
}

}  // namespace

bool WritePngFile(const std::string& path, int width, int height,
                  const std::vector<std::uint8_t>& rgb) {
  std::vector<std::uint8_t> file;
  if (!EncodePng(width, height, rgb, &file)) return false;
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd == -1) return false;
  // mkstemp makes the file private; a picture is for whoever may read the folder.
  const bool written = fchmod(fd, 0644) == 0 && WriteWhole(fd, file);
  if (close(fd) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
