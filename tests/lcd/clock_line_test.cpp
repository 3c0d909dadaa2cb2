// The clock line: its text by the hour of the day, its colour by whether the minute changed, and
// where it lands, drawn into a 24-bit DIB section under a virtual local clock.
#include "lcd/clock_line.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/panel_state.h"
#include "platform/testing.h"
#include "tests/platform_gdi/dib_probe.h"

namespace {

using platform::test::Dib;
using platform::test::Rgb;

constexpr Rgb White = 0xFFFFFF;
constexpr Rgb Grey = 0x808080;
constexpr Rgb Backdrop = 0x203040;
constexpr RECT ClockArea = {240, 447, 558, 477};

bool InClockArea(int x, int y) {
  return x >= ClockArea.left && x < ClockArea.right && y >= ClockArea.top && y < ClockArea.bottom;
}

std::string Text(const WCHAR* text) {
  std::string narrow;
  for (; *text != 0; ++text) narrow += static_cast<char>(*text);
  return narrow;
}

class ClockLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPanelState();
    run_ = std::make_unique<platform::VirtualRunScope>(platform::LocalTime(2026, 12, 7, 9, 5, 0));
    ASSERT_TRUE(run_->started());
    picture_ = std::make_unique<Dib>(800, 480, 24, true);
    picture_->Fill(Backdrop);
  }
  void TearDown() override {
    picture_.reset();
    run_.reset();
  }

  // Draws the line at the given local time; the text colour, or 0 when no text pixel is found.
  Rgb DrawAt(int hour, int minute) {
    platform::SetVirtualLocalTime(platform::LocalTime(2026, 12, 7, hour, minute, 30));
    picture_->Fill(Backdrop);
    DrawClock(picture_->dc);
    return BrightestInClockArea();
  }

  Rgb BrightestInClockArea() const {
    Rgb brightest = 0;
    for (int y = ClockArea.top; y < ClockArea.bottom; ++y) {
      for (int x = ClockArea.left; x < ClockArea.right; ++x) {
        const Rgb pixel = picture_->Pixel(x, y);
        if ((pixel & 0xFF) > (brightest & 0xFF)) brightest = pixel;
      }
    }
    return brightest;
  }

  std::unique_ptr<platform::VirtualRunScope> run_;
  std::unique_ptr<Dib> picture_;
};

TEST_F(ClockLineTest, LineShowsDateWeekdayAndTwelveHourTime) {
  const struct {
    int year, month, day, hour, minute;
    const char* line;
  } cases[] = {
      {2026, 12, 7, 9, 5, "  Dec.7 Mon am 9:05  "},
      {2026, 12, 7, 0, 5, "  Dec.7 Mon am12:05  "},
      {2026, 12, 7, 0, 30, "  Dec.7 Mon am12:30  "},
      {2026, 12, 7, 1, 0, "  Dec.7 Mon am 1:00  "},
      {2026, 12, 7, 11, 59, "  Dec.7 Mon am11:59  "},
      {2026, 12, 7, 12, 5, "  Dec.7 Mon pm12:05  "},
      {2026, 12, 7, 13, 5, "  Dec.7 Mon pm 1:05  "},
      {2026, 12, 7, 23, 14, "  Dec.7 Mon pm11:14  "},
      {2027, 1, 3, 8, 0, "  Jan.3 Sun am 8:00  "},
      {2027, 1, 2, 21, 9, "  Jan.2 Sat pm 9:09  "},
      {2026, 10, 31, 17, 45, "  Oct.31 Sat pm 5:45  "},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.line);
    platform::SetVirtualLocalTime(
        platform::LocalTime(test.year, test.month, test.day, test.hour, test.minute, 0));
    DrawClock(picture_->dc);
    EXPECT_EQ(Text(Panel.ClockText), test.line);
  }
}

TEST_F(ClockLineTest, FirstLineAfterAMinuteChangeIsWhiteThenGrey) {
  EXPECT_EQ(DrawAt(9, 5), White) << "the minute moved from 0 to 5";
  EXPECT_EQ(Panel.PreviousClockMinute, 0);
  EXPECT_EQ(DrawAt(9, 5), Grey);
  EXPECT_EQ(DrawAt(9, 5), Grey);
  EXPECT_EQ(DrawAt(9, 6), White);
  EXPECT_EQ(Panel.PreviousClockMinute, 5);
  EXPECT_EQ(DrawAt(9, 6), Grey);
  // The minute alone counts: the same minute of another hour is no change.
  EXPECT_EQ(DrawAt(10, 6), Grey);
}

TEST_F(ClockLineTest, FirstLineOnTheHourIsGreyAsTheClockStartsAtMinuteZero) {
  EXPECT_EQ(DrawAt(10, 0), Grey);
}

TEST_F(ClockLineTest, TextIsCentredOnBlackInsideItsRectangleOnly) {
  DrawAt(9, 5);
  int left = ClockArea.right, right = ClockArea.left, text_pixels = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 800; ++x) {
      const Rgb pixel = picture_->Pixel(x, y);
      if (!InClockArea(x, y)) {
        ASSERT_EQ(pixel, Backdrop) << x << ", " << y;
        continue;
      }
      if (pixel == Backdrop) continue;
      // The text cells are filled black and the glyphs blended white into them: greys only.
      ASSERT_TRUE((pixel >> 16) == (pixel & 0xFF) && ((pixel >> 8) & 0xFF) == (pixel & 0xFF))
          << std::hex << pixel << " at " << std::dec << x << ", " << y;
      if (pixel == 0) continue;
      ++text_pixels;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  EXPECT_GT(text_pixels, 200);
  // The line is centred in 240 to 558: the ink is about as far from either side.
  EXPECT_NEAR(left - ClockArea.left, ClockArea.right - 1 - right, 12);
}

}  // namespace
