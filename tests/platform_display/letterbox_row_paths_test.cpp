// Every vector path of the letterbox rows against the portable one, on random pictures: scaled
// rows through random column maps and rows at their own size, of every width from 1 to 64, with
// a pixel left alone on each side. Run under qemu-arm and qemu-aarch64, this holds the NEON loops
// to the portable ones.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/display/letterbox_rows.h"

namespace platform::display {
namespace {

constexpr int kMaxWidth = 64;
constexpr std::uint32_t kUntouched = 0xA5A5A5A5;

std::vector<LetterboxRowPath> VectorPaths() {
  std::vector<LetterboxRowPath> paths = RunnableLetterboxRowPaths();
  paths.erase(paths.begin());
  return paths;
}

std::vector<std::uint32_t> RandomPixels(std::mt19937& random, int count) {
  std::vector<std::uint32_t> pixels(count);
  for (std::uint32_t& pixel : pixels) pixel = random();  // the top byte too: it must end up set
  return pixels;
}

TEST(LetterboxRowPaths, PortableComesFirstAndArm64HasNeon) {
  const std::vector<LetterboxRowPath> paths = RunnableLetterboxRowPaths();
  ASSERT_FALSE(paths.empty());
  EXPECT_STREQ(paths.front().name, "portable");
  EXPECT_STREQ(ChosenLetterboxRowPath().name, paths.back().name);
#if defined(__aarch64__)
  EXPECT_STREQ(paths.back().name, "neon");
#endif
}

TEST(LetterboxRowPaths, ScaledRowsMatchThePortableLoop) {
  const LetterboxRowPath portable = RunnableLetterboxRowPaths().front();
  std::mt19937 random(7);
  for (const LetterboxRowPath& path : VectorPaths()) {
    for (int width = 1; width <= kMaxWidth; ++width) {
      // Pictures narrower and wider than the row: shrunk and stretched.
      for (const int picture_width : {1 + width / 3, width, 2 * width + 1}) {
        const std::vector<std::uint32_t> picture = RandomPixels(random, picture_width);
        std::uniform_int_distribution<int> column(0, picture_width - 1);
        std::vector<int> columns(width);
        for (int& each : columns) each = column(random);
        std::vector<std::uint32_t> expected(width + 2, kUntouched);
        std::vector<std::uint32_t> actual = expected;
        portable.scale_row(picture.data(), columns.data(), expected.data() + 1, width);
        path.scale_row(picture.data(), columns.data(), actual.data() + 1, width);
        ASSERT_EQ(actual, expected)
            << path.name << ", width " << width << " from " << picture_width;
      }
    }
  }
}

TEST(LetterboxRowPaths, RowsAtTheirOwnSizeMatchThePortableLoop) {
  const LetterboxRowPath portable = RunnableLetterboxRowPaths().front();
  std::mt19937 random(11);
  for (const LetterboxRowPath& path : VectorPaths()) {
    for (int width = 1; width <= kMaxWidth; ++width) {
      // The source starts one pixel in, off 16-byte alignment, as a window's rows do after a bar.
      const std::vector<std::uint32_t> picture = RandomPixels(random, width + 1);
      std::vector<std::uint32_t> expected(width + 2, kUntouched);
      std::vector<std::uint32_t> actual = expected;
      portable.copy_row(picture.data() + 1, expected.data() + 1, width);
      path.copy_row(picture.data() + 1, actual.data() + 1, width);
      ASSERT_EQ(actual, expected) << path.name << ", width " << width;
    }
  }
}

}  // namespace
}  // namespace platform::display
