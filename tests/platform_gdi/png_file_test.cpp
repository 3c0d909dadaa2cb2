// PNG files: valid chunks holding the picture, and a replacement that a reader never catches
// half written.
#include "platform/png_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/platform_gdi/png_reader.h"

namespace platform::test {
namespace {

std::vector<std::uint8_t> Gradient(int width, int height, int seed) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 13 + seed);
  return rgb;
}

TEST(PngFile, HoldsThePictureInValidChunks) {
  const std::string path = ::testing::TempDir() + "picture.png";
  const std::vector<std::uint8_t> rgb = Gradient(3, 2, 0);
  ASSERT_TRUE(WritePngFile(path, 3, 2, rgb));
  PngPicture read;
  std::string error;
  ASSERT_TRUE(ReadPngFile(path, &read, &error)) << error;
  EXPECT_EQ(read.chunks, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  EXPECT_EQ(read.width, 3);
  EXPECT_EQ(read.height, 2);
  EXPECT_EQ(read.rgb, rgb);
}

// The new picture arrives by rename: the old file's inode is never written into, and no
// temporary file is left behind.
TEST(PngFile, ReplacesTheFileWholeAndLeavesNothingBeside) {
  const std::filesystem::path folder = ::testing::TempDir() + "png-replace";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "screen.png").string();
  ASSERT_TRUE(WritePngFile(path, 800, 480, Gradient(800, 480, 1)));
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  ASSERT_TRUE(WritePngFile(path, 800, 480, Gradient(800, 480, 2)));
  struct stat after {};
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_EQ(after.st_mode & 0777, 0644u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
  PngPicture read;
  std::string error;
  ASSERT_TRUE(ReadPngFile(path, &read, &error)) << error;
  EXPECT_EQ(read.rgb, Gradient(800, 480, 2));
}

TEST(PngFile, RefusesPicturesItCannotWrite) {
  const std::string folder = ::testing::TempDir();
  EXPECT_FALSE(WritePngFile(folder + "short.png", 4, 4, Gradient(4, 3, 0)));
  EXPECT_FALSE(WritePngFile(folder + "empty.png", 0, 0, {}));
  EXPECT_FALSE(WritePngFile(folder + "no-such-folder/x.png", 1, 1, Gradient(1, 1, 0)));
}

}  // namespace
}  // namespace platform::test
