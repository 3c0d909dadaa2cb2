// The letterbox of a full-screen window on a screen of another size: where the 800 x 480 panel
// lands on the sizes head units have, that a redraw of a changed rectangle covers every screen
// pixel showing it, that a touch maps back onto the pixel drawn under it, and the drawing itself.
#include "platform/display/letterbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform::display {
namespace {

std::string Text(const RECT& rect) {
  return "(" + std::to_string(rect.left) + "," + std::to_string(rect.top) + ")-(" +
         std::to_string(rect.right) + "," + std::to_string(rect.bottom) + ")";
}

struct FitCase {
  int picture_width;
  int picture_height;
  int area_width;
  int area_height;
  RECT expected;
};

TEST(Letterbox, PictureFitsKeepingItsProportionsCentred) {
  const FitCase cases[] = {
      {800, 480, 800, 480, {0, 0, 800, 480}},       // its own size
      {800, 480, 1024, 600, {12, 0, 1012, 600}},    // common head unit: bars beside
      {800, 480, 1024, 768, {0, 77, 1024, 691}},    // 4:3: bars above and below
      {800, 480, 1920, 1080, {60, 0, 1860, 1080}},  // a 16:9 monitor
      {800, 480, 400, 240, {0, 0, 400, 240}},       // smaller, same shape
      {800, 480, 801, 481, {0, 0, 801, 481}},       // within rounding of the shape
      {800, 480, 3, 1000, {0, 499, 3, 501}},        // never thinner than a pixel
      {800, 480, 0, 480, {0, 0, 0, 0}},             // no area at all
      {300, 120, 200, 100, {0, 10, 200, 90}},       // another shape, shrunk
  };
  for (const FitCase& each : cases) {
    const Letterbox letterbox =
        FitPicture(each.picture_width, each.picture_height, each.area_width, each.area_height);
    EXPECT_EQ(Text(letterbox.fit), Text(each.expected))
        << each.picture_width << "x" << each.picture_height << " on " << each.area_width << "x"
        << each.area_height;
  }
}

bool Contains(const RECT& rect, int x, int y) {
  return x >= rect.left && y >= rect.top && x < rect.right && y < rect.bottom;
}

// Every screen pixel that samples a pixel of the changed rectangle must be redrawn, or a scaled
// window keeps showing old pixels there.
TEST(Letterbox, RedrawOfAChangedRectangleCoversEveryPixelShowingIt) {
  const int areas[][2] = {{800, 480}, {1024, 600}, {1024, 768}, {333, 211}, {1920, 1080}};
  const RECT changes[] = {{0, 0, 1, 1},         {799, 479, 800, 480}, {13, 7, 18, 10},
                          {100, 200, 101, 290}, {0, 0, 800, 480},     {401, 0, 404, 480}};
  for (const auto& area : areas) {
    const Letterbox letterbox = FitPicture(800, 480, area[0], area[1]);
    for (const RECT& change : changes) {
      const RECT redrawn = AreaOfPictureRect(letterbox, change);
      for (int y = 0; y < area[1]; ++y) {
        const int row = letterbox.source_rows[y];
        for (int x = 0; x < area[0]; ++x) {
          const int column = letterbox.source_columns[x];
          if (row >= 0 && column >= 0 && Contains(change, column, row)) {
            ASSERT_TRUE(Contains(redrawn, x, y)) << area[0] << "x" << area[1] << " pixel " << x
                                                 << "," << y << " of " << Text(change);
          }
        }
      }
    }
  }
}

struct TouchCase {
  int area_width;
  int area_height;
  double x;
  double y;
  bool on_picture;
  POINT pixel;
};

TEST(Letterbox, TouchMapsToThePixelDrawnUnderIt) {
  const TouchCase cases[] = {
      {800, 480, 0.0, 0.0, true, {0, 0}},
      {800, 480, 799.9, 479.9, true, {799, 479}},
      {1024, 600, 12.0, 0.0, true, {0, 0}},           // first column after the left bar
      {1024, 600, 11.9, 300.0, false, {0, 240}},      // on the left bar: the nearest edge
      {1024, 600, 1012.0, 300.0, false, {799, 240}},  // first column of the right bar
      {1024, 600, 512.0, 300.0, true, {400, 240}},    // centre to centre
      {1024, 600, 5.0, 595.0, false, {0, 476}},       // bar beside POWER
      {1024, 768, 512.0, 76.5, false, {400, 0}},      // top bar
      {1600, 960, 3.0, 3.0, true, {1, 1}},            // doubled: two screen pixels each
      {1024, 600, -1e12, 1e12, false, {0, 479}},      // far outside
  };
  for (const TouchCase& each : cases) {
    const Letterbox letterbox = FitPicture(800, 480, each.area_width, each.area_height);
    POINT pixel{-1, -1};
    const bool on_picture = PictureOfAreaPoint(letterbox, each.x, each.y, &pixel);
    EXPECT_EQ(on_picture, each.on_picture) << each.x << "," << each.y;
    EXPECT_EQ(pixel.x, each.pixel.x) << each.x << "," << each.y;
    EXPECT_EQ(pixel.y, each.pixel.y) << each.x << "," << each.y;
  }
}

// A 2 x 2 picture on a 6 x 4 area: each pixel doubled both ways between one-pixel bars, and
// every pixel's top byte set.
TEST(Letterbox, DrawingSamplesNearestPixelsAndPaintsTheBarsBlack) {
  const std::uint32_t picture[] = {0x000011, 0x000022, 0x000033, 0x000044};
  const Letterbox letterbox = FitPicture(2, 2, 6, 4);
  ASSERT_EQ(Text(letterbox.fit), Text(RECT{1, 0, 5, 4}));
  std::vector<std::uint32_t> area(6 * 4, 0x12345678);
  DrawLetterboxed(letterbox, picture, area.data(), 6, RECT{0, 0, 6, 4});
  const std::uint32_t o = 0xFF000000;
  const std::vector<std::uint32_t> expected = {
      o, o | 0x11, o | 0x11, o | 0x22, o | 0x22, o,  //
      o, o | 0x11, o | 0x11, o | 0x22, o | 0x22, o,  //
      o, o | 0x33, o | 0x33, o | 0x44, o | 0x44, o,  //
      o, o | 0x33, o | 0x33, o | 0x44, o | 0x44, o,  //
  };
  EXPECT_EQ(area, expected);
}

TEST(Letterbox, DrawingStaysInsideTheRectangleAsked) {
  std::vector<std::uint32_t> picture(800 * 480, 0x00FF00);
  const Letterbox letterbox = FitPicture(800, 480, 1024, 600);
  std::vector<std::uint32_t> area(1024 * 600, 0);
  const RECT asked{10, 20, 30, 25};
  DrawLetterboxed(letterbox, picture.data(), area.data(), 1024, asked);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 1024; ++x) {
      const std::uint32_t expected =
          !Contains(asked, x, y) ? 0 : (x < 12 ? 0xFF000000 : 0xFF00FF00);
      ASSERT_EQ(area[y * 1024 + x], expected) << x << "," << y;
    }
  }
}

// Every pixel of any rectangle asked, on the sizes screens have and at any alignment, is the
// picture pixel its row and column tables name (or a bar), and nothing outside it is touched:
// however a row is drawn (copied from the row above, a block of columns at a time or one by one).
TEST(Letterbox, ScaledDrawingOfAnyRectangleFollowsTheTables) {
  constexpr std::uint32_t kUntouched = 0x00ABCDEF;
  std::vector<std::uint32_t> picture(800 * 480);
  for (std::size_t i = 0; i < picture.size(); ++i) {
    picture[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0x00FFFFFF;
  }
  const int areas[][2] = {{1024, 600}, {1920, 1080}, {1024, 768}, {1366, 768}, {333, 211}};
  const RECT asked[] = {{0, 0, 4000, 4000}, {13, 5, 1021, 9},  {60, 0, 68, 3},
                        {67, 1, 83, 2},     {0, 100, 61, 130}, {300, 200, 1900, 260}};
  for (const auto& size : areas) {
    const Letterbox letterbox = FitPicture(800, 480, size[0], size[1]);
    for (const RECT& rect : asked) {
      std::vector<std::uint32_t> area(static_cast<std::size_t>(size[0]) * size[1], kUntouched);
      DrawLetterboxed(letterbox, picture.data(), area.data(), size[0], rect);
      for (int y = 0; y < size[1]; ++y) {
        const int row = letterbox.source_rows[y];
        for (int x = 0; x < size[0]; ++x) {
          const int column = letterbox.source_columns[x];
          std::uint32_t expected = kUntouched;
          if (Contains(rect, x, y)) {
            expected =
                row < 0 || column < 0 ? 0xFF000000 : picture[row * 800 + column] | 0xFF000000;
          }
          ASSERT_EQ(area[static_cast<std::size_t>(y) * size[0] + x], expected)
              << size[0] << "x" << size[1] << " drawing " << Text(rect) << " at " << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace platform::display
