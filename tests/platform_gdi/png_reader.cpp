#include "tests/platform_gdi/png_reader.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace platform::test {
namespace {

std::uint32_t BigEndian(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
         std::uint32_t{bytes[2]} << 8 | bytes[3];
}

bool Fail(std::string* error, const std::string& why) {
  *error = why;
  return false;
}

}  // namespace

bool ReadPngFile(const std::string& path, PngPicture* picture, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(error, "cannot open " + path);
  const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
  const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || !std::equal(signature.begin(), signature.end(), file.begin())) {
    return Fail(error, "no PNG signature");
  }
  *picture = PngPicture{};
  std::vector<std::uint8_t> idat;
  std::size_t at = 8;
  while (at + 12 <= file.size()) {
    const std::uint32_t length = BigEndian(&file[at]);
    if (at + 12 + length > file.size()) return Fail(error, "chunk runs past the end");
    const std::string type(file.begin() + at + 4, file.begin() + at + 8);
    if (BigEndian(&file[at + 8 + length]) != crc32(0, &file[at + 4], length + 4)) {
      return Fail(error, "bad CRC in " + type);
    }
    if (type == "IHDR") {
      if (length != 13) return Fail(error, "IHDR of the wrong size");
      picture->width = static_cast<int>(BigEndian(&file[at + 8]));
      picture->height = static_cast<int>(BigEndian(&file[at + 12]));
      if (file[at + 16] != 8 || file[at + 17] != 2) return Fail(error, "not 8-bit RGB");
    }
    if (type == "IDAT") idat.insert(idat.end(), &file[at + 8], &file[at + 8 + length]);
    picture->chunks.push_back(type);
    at += 12 + length;
  }
  if (at != file.size() || picture->chunks.empty() || picture->chunks.back() != "IEND") {
    return Fail(error, "the file does not end with IEND");
  }
  const std::size_t row_bytes = static_cast<std::size_t>(picture->width) * 3;
  std::vector<std::uint8_t> rows((row_bytes + 1) * static_cast<std::size_t>(picture->height));
  uLongf rows_size = rows.size();
  if (uncompress(rows.data(), &rows_size, idat.data(), idat.size()) != Z_OK ||
      rows_size != rows.size()) {
    return Fail(error, "image data does not inflate to the picture's rows");
  }
  for (int y = 0; y < picture->height; ++y) {
    const auto row = rows.begin() + static_cast<std::ptrdiff_t>(y * (row_bytes + 1));
    if (*row != 0) return Fail(error, "a row filter other than none");
    picture->rgb.insert(picture->rgb.end(), row + 1,
                        row + 1 + static_cast<std::ptrdiff_t>(row_bytes));
  }
  return true;
}

}  // namespace platform::test
