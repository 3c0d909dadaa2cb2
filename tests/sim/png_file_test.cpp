// The capture tool's PNG files: chunks with correct CRCs and image data that inflates to the
// picture's rows, each behind its filter byte.
#include "sim/png_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>

namespace {

std::uint32_t BigEndian(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}

TEST(PngFile, HoldsThePictureInValidChunks) {
  const int width = 3, height = 2;
  std::vector<std::uint8_t> rgb(width * height * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 13);
  const std::string path = ::testing::TempDir() + "picture.png";
  ASSERT_TRUE(sim::WritePng(path, width, height, rgb));

  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GT(file.size(), 8u);
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 8),
            (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
  std::vector<std::string> types;
  std::vector<std::uint8_t> idat;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    const std::uint32_t length = BigEndian(&file[at]);
    ASSERT_LE(at + 12 + length, file.size());
    const std::string type(file.begin() + at + 4, file.begin() + at + 8);
    const std::uint32_t crc = BigEndian(&file[at + 8 + length]);
    EXPECT_EQ(crc, crc32(0, &file[at + 4], length + 4)) << type;
    if (type == "IHDR") {
      EXPECT_EQ(BigEndian(&file[at + 8]), 3u);
      EXPECT_EQ(BigEndian(&file[at + 12]), 2u);
      EXPECT_EQ(file[at + 16], 8);  // bits per channel
      EXPECT_EQ(file[at + 17], 2);  // RGB
    }
    if (type == "IDAT") idat.insert(idat.end(), &file[at + 8], &file[at + 8 + length]);
    types.push_back(type);
    at += 12 + length;
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));

  std::vector<std::uint8_t> rows(height * (1 + width * 3));
  uLongf rows_size = rows.size();
  ASSERT_EQ(uncompress(rows.data(), &rows_size, idat.data(), idat.size()), Z_OK);
  ASSERT_EQ(rows_size, rows.size());
  for (int y = 0; y < height; ++y) {
    EXPECT_EQ(rows[y * (1 + width * 3)], 0);
    EXPECT_EQ(
        std::vector<std::uint8_t>(rows.begin() + y * (1 + width * 3) + 1,
                                  rows.begin() + (y + 1) * (1 + width * 3)),
        std::vector<std::uint8_t>(rgb.begin() + y * width * 3, rgb.begin() + (y + 1) * width * 3));
  }
}

}  // namespace
