// What the pictures must show where the program draws over them or the user looks through them:
// a dark LCD window, a black clock strip, black indicator fields, the exit cross, the indicator
// frames in their colours, and a compact background that is dark under the small LCD.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "decoded_bitmap.h"

namespace {

struct Area {
  int x;
  int y;
  int width;
  int height;
};

int CountPixels(const DecodedBitmap& bitmap, Area area, const std::function<bool(Pixel)>& is) {
  int count = 0;
  for (int y = area.y; y < area.y + area.height; ++y) {
    for (int x = area.x; x < area.x + area.width; ++x) count += is(bitmap.At(x, y));
  }
  return count;
}

int PixelsIn(Area area) { return area.width * area.height; }

int Brightness(Pixel pixel) { return std::max({pixel.r, pixel.g, pixel.b}); }
bool IsBlack(Pixel pixel) { return Brightness(pixel) == 0; }
bool IsRed(Pixel pixel) { return pixel.r > 150 && pixel.g < 90 && pixel.b < 90; }
bool IsBlueGreen(Pixel pixel) { return pixel.r < 80 && pixel.g > 120 && pixel.b > 120; }
bool IsGrey(Pixel pixel) {
  return Brightness(pixel) - std::min({pixel.r, pixel.g, pixel.b}) <= 12 && Brightness(pixel) > 60;
}

TEST(PanelPicture, LcdScreenIsDarkSoThatTheRedLcdReads) {
  const DecodedBitmap panel = DecodeResourceBitmap(188);
  ASSERT_TRUE(panel.loaded);
  const Area screen = {93, 61, 614, 210};
  EXPECT_EQ(CountPixels(panel, screen, [](Pixel p) { return Brightness(p) <= 32; }),
            PixelsIn(screen));
}

// DrawTextW paints only the text's own cells black; the rest of the rectangle shows the panel.
TEST(PanelPicture, ClockRectangleIsBlack) {
  const DecodedBitmap panel = DecodeResourceBitmap(188);
  ASSERT_TRUE(panel.loaded);
  const Area clock = {240, 447, 319, 31};
  EXPECT_EQ(CountPixels(panel, clock, IsBlack), PixelsIn(clock));
}

// Each indicator frame is copied over the panel; its black background must meet black.
TEST(PanelPicture, IndicatorPlacesAreBlackLikeTheIndicatorsBackgrounds) {
  const DecodedBitmap panel = DecodeResourceBitmap(188);
  ASSERT_TRUE(panel.loaded);
  struct Place {
    UINT bitmap;
    Area area;
  };
  for (const Place& place : {Place{211, {176, 16, 52, 14}}, Place{212, {269, 16, 72, 14}},
                             Place{214, {780, 470, 15, 10}}}) {
    SCOPED_TRACE("bitmap " + std::to_string(place.bitmap));
    EXPECT_EQ(CountPixels(panel, place.area, IsBlack), PixelsIn(place.area));
    const DecodedBitmap indicator = DecodeResourceBitmap(place.bitmap);
    ASSERT_TRUE(indicator.loaded);
    EXPECT_TRUE(IsBlack(indicator.At(0, 0)));
    EXPECT_TRUE(IsBlack(indicator.At(indicator.width - 1, indicator.height - 1)));
  }
}

TEST(PanelPicture, ExitCornerShowsACross) {
  const DecodedBitmap panel = DecodeResourceBitmap(188);
  ASSERT_TRUE(panel.loaded);
  const Area corner = {771, 0, 29, 30};
  EXPECT_GE(CountPixels(panel, corner, [](Pixel p) { return Brightness(p) > 120; }), 12);
}

TEST(AuxIndicator, LitFrameOutshinesTheDimmedOneAndTheLastRowIsEmpty) {
  const DecodedBitmap aux = DecodeResourceBitmap(211);
  ASSERT_TRUE(aux.loaded);
  const auto bright = [](Pixel p) { return Brightness(p) > 160; };
  EXPECT_GE(CountPixels(aux, {0, 0, 52, 14}, bright), 40);
  EXPECT_EQ(CountPixels(aux, {0, 14, 52, 14}, bright), 0);
  EXPECT_GE(CountPixels(aux, {0, 14, 52, 14}, IsGrey), 40);
  EXPECT_EQ(CountPixels(aux, {0, 28, 52, 1}, IsBlack), 52);
}

TEST(UsbIndicator, AudioFrameShowsRedAndNaviFrameBlueGreen) {
  const DecodedBitmap usb = DecodeResourceBitmap(212);
  ASSERT_TRUE(usb.loaded);
  const Area audio = {0, 0, 72, 14};
  const Area navi = {0, 14, 72, 14};
  EXPECT_GE(CountPixels(usb, audio, IsRed), 30);
  EXPECT_EQ(CountPixels(usb, audio, IsBlueGreen), 0);
  EXPECT_GE(CountPixels(usb, navi, IsBlueGreen), 25);
  EXPECT_EQ(CountPixels(usb, navi, IsRed), 0);
  // "USB" in light grey in both frames.
  EXPECT_GE(CountPixels(usb, audio, IsGrey), 20);
  EXPECT_GE(CountPixels(usb, navi, IsGrey), 20);
}

TEST(LinkIndicator, ShowsV1AndV2InGreyThenARedCrossAndLeavesTheLastColumnEmpty) {
  const DecodedBitmap link = DecodeResourceBitmap(214);
  ASSERT_TRUE(link.loaded);
  const Area v1 = {0, 0, 15, 10};
  const Area v2 = {15, 0, 15, 10};
  const Area cross = {30, 0, 15, 10};
  const auto lit = [](Pixel p) { return !IsBlack(p); };
  for (const Area& grey_frame : {v1, v2}) {
    EXPECT_GE(CountPixels(link, grey_frame, IsGrey), 12);
    EXPECT_EQ(CountPixels(link, grey_frame, IsRed), 0);
  }
  EXPECT_GE(CountPixels(link, cross, IsRed), 10);
  EXPECT_EQ(CountPixels(link, cross, IsGrey), 0);
  EXPECT_EQ(CountPixels(link, {45, 0, 1, 10}, lit), 0);
  int differing = 0;
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 15; ++x) differing += !(link.At(x, y) == link.At(15 + x, y));
  }
  EXPECT_GT(differing, 0) << "V1 and V2 must be told apart";
}

TEST(CompactBackground, FillsTheScreenAndIsDarkWhereTheSmallLcdLands) {
  const DecodedBitmap background = DecodeBmpFile(QUELT_COMPACT_BACKGROUND);
  ASSERT_TRUE(background.loaded);
  ASSERT_EQ(background.width, 800);
  ASSERT_EQ(background.height, 480);
  const Area lcd = {470, 360, 320, 110};
  EXPECT_EQ(CountPixels(background, lcd, [](Pixel p) { return Brightness(p) <= 40; }),
            PixelsIn(lcd));
  // A picture, not a dark sheet.
  EXPECT_GT(CountPixels(background, {0, 0, 800, 480}, [](Pixel p) { return Brightness(p) > 150; }),
            1000);
}

}  // namespace
