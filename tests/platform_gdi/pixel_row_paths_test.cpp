// Every vector path of the pixel row conversions against the portable one, on random pictures of
// every width from 1 to 64, with odd strides, rows that start off alignment and pictures stored
// either way up: the pixels written, the bytes around them left alone and the span the comparing
// copy reports must all match exactly. Run under qemu-arm and qemu-aarch64, this holds the NEON
// loops to the portable ones.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/gdi/pixel_rows.h"

namespace platform::gdi {
namespace {

constexpr int kMaxWidth = 64;
constexpr int kHeight = 3;
constexpr std::uint8_t kUntouched = 0xA5;

std::vector<std::uint8_t> RandomBytes(std::mt19937& random, std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

std::vector<PixelRowPath> VectorPaths() {
  std::vector<PixelRowPath> paths = RunnablePixelRowPaths();
  paths.erase(paths.begin());
  return paths;
}

TEST(PixelRowPaths, PortableComesFirstAndArm64HasNeon) {
  const std::vector<PixelRowPath> paths = RunnablePixelRowPaths();
  ASSERT_FALSE(paths.empty());
  EXPECT_STREQ(paths.front().name, "portable");
#if defined(__aarch64__)
  EXPECT_STREQ(paths.back().name, "neon");  // every 64-bit ARM core has it
#endif
}

// Rows of 3-byte pixels at an odd offset and odd stride, expanded into rows of words with a word
// of untouched bytes on each side.
TEST(PixelRowPaths, ExpansionMatchesThePortableLoop) {
  const PixelRowPath portable = RunnablePixelRowPaths().front();
  std::mt19937 random(24);
  for (const PixelRowPath& path : VectorPaths()) {
    for (int width = 1; width <= kMaxWidth; ++width) {
      for (const int padding : {1, 3, 7}) {
        const int stride = 3 * width + padding;
        const std::vector<std::uint8_t> source = RandomBytes(random, 1 + stride * kHeight);
        const int row_words = width + 2;
        std::vector<std::uint32_t> expected(row_words * kHeight);
        std::memset(expected.data(), kUntouched, expected.size() * 4);
        std::vector<std::uint32_t> actual = expected;
        for (int y = 0; y < kHeight; ++y) {
          const std::uint8_t* row = source.data() + 1 + y * stride;
          portable.expand_24_to_32(row, expected.data() + y * row_words + 1, width);
          path.expand_24_to_32(row, actual.data() + y * row_words + 1, width);
        }
        ASSERT_EQ(actual, expected) << path.name << ", width " << width << ", stride " << stride;
      }
    }
  }
}

struct PackLayout {
  int source_padding;  // bytes after each row of words
  int target_padding;  // bytes after each row of 3-byte pixels
  bool bottom_up;      // negative strides: the first row is stored last
};

TEST(PixelRowPaths, PackingMatchesThePortableLoop) {
  const PackLayout layouts[] = {{0, 1, false}, {4, 3, false}, {1, 5, false}, {3, 1, true}};
  const PixelRowPath portable = RunnablePixelRowPaths().front();
  std::mt19937 random(32);
  for (const PixelRowPath& path : VectorPaths()) {
    for (int width = 1; width <= kMaxWidth; ++width) {
      for (const PackLayout& layout : layouts) {
        const std::ptrdiff_t source_stride = 4 * width + layout.source_padding;
        const std::ptrdiff_t target_stride = 3 * width + layout.target_padding;
        const std::vector<std::uint8_t> source = RandomBytes(random, source_stride * kHeight);
        std::vector<std::uint8_t> expected(target_stride * kHeight, kUntouched);
        std::vector<std::uint8_t> actual = expected;
        const std::ptrdiff_t source_last = source_stride * (kHeight - 1);
        const std::ptrdiff_t target_last = target_stride * (kHeight - 1);
        const auto pack = [&](const PixelRowPath& each, std::vector<std::uint8_t>& target) {
          if (layout.bottom_up) {
            each.pack_32_to_24(source.data() + source_last, -source_stride,
                               target.data() + target_last, -target_stride, width, kHeight);
          } else {
            each.pack_32_to_24(source.data(), source_stride, target.data(), target_stride, width,
                               kHeight);
          }
        };
        pack(portable, expected);
        pack(path, actual);
        ASSERT_EQ(actual, expected) << path.name << ", width " << width << ", strides "
                                    << source_stride << " and " << target_stride;
      }
    }
  }
}

// Which pixels of the new row differ from the old: the comparing copy must find the same ends
// whether the change is nowhere, at either end, somewhere inside or everywhere.
enum class Change { kNone, kFirst, kLast, kOneInside, kTwoInside, kEvery };

TEST(PixelRowPaths, ComparingCopyMatchesThePortableLoop) {
  const Change changes[] = {Change::kNone,      Change::kFirst,     Change::kLast,
                            Change::kOneInside, Change::kTwoInside, Change::kEvery};
  const PixelRowPath portable = RunnablePixelRowPaths().front();
  std::mt19937 random(42);
  for (const PixelRowPath& path : VectorPaths()) {
    for (int width = 1; width <= kMaxWidth; ++width) {
      for (const Change change : changes) {
        // One word of untouched pixels before and after the row, which starts off 16-byte
        // alignment.
        std::vector<std::uint32_t> old_row(width + 2);
        for (std::uint32_t& pixel : old_row) pixel = random() & 0xFFFFFF;
        old_row.front() = old_row.back() = 0xA5A5A5A5;
        std::vector<std::uint32_t> pixels(old_row.begin() + 1, old_row.end() - 1);
        const auto flip = [&](int x) { pixels[x] ^= 1 + random() % 0xFFFFFF; };
        std::uniform_int_distribution<int> anywhere(0, width - 1);
        switch (change) {
          case Change::kNone:
            break;
          case Change::kFirst:
            flip(0);
            break;
          case Change::kLast:
            flip(width - 1);
            break;
          case Change::kOneInside:
            flip(anywhere(random));
            break;
          case Change::kTwoInside:
            flip(anywhere(random));
            flip(anywhere(random));
            break;
          case Change::kEvery:
            for (int x = 0; x < width; ++x) flip(x);
            break;
        }
        std::vector<std::uint32_t> expected = old_row;
        std::vector<std::uint32_t> actual = old_row;
        const ChangedSpan expected_span =
            portable.overwrite_row(expected.data() + 1, pixels.data(), width);
        const ChangedSpan actual_span = path.overwrite_row(actual.data() + 1, pixels.data(), width);
        const std::string where = std::string(path.name) + ", width " + std::to_string(width) +
                                  ", change " + std::to_string(static_cast<int>(change));
        EXPECT_EQ(actual_span.first, expected_span.first) << where;
        EXPECT_EQ(actual_span.last, expected_span.last) << where;
        ASSERT_EQ(actual, expected) << where;
      }
    }
  }
}

}  // namespace
}  // namespace platform::gdi
