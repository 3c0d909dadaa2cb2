// What the main window shows after WM_PAINT and WM_PANEL_REFRESH, read from the headless screen:
// the doubled LCD in the panel's LCD window, the indicators, the lamp of a held button, the clock
// line one refresh late, and the compact view's LCD corner; that refreshes which draw only what
// changed add up to what a whole refresh draws, and that an unchanged frame reaches no screen.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "app/drawing_objects.h"
#include "app/panel_state.h"
#include "panel/lamp_table.h"
#include "platform/testing_display.h"
#include "tests/lcd/screen_fixture.h"

namespace {

struct LcdPixel {
  int m, c;
};

// Where the LCD window of the full panel shows the canvas, inclusive.
constexpr RECT FullPanelLcdWindow = {93, 61, 706, 270};
constexpr RECT CompactLcdCorner = {470, 360, 789, 469};

bool Inside(const RECT& area, int x, int y) {
  return x >= area.left && x <= area.right && y >= area.top && y <= area.bottom;
}

Picture PanelPicture() { return Snapshot(Panel.PanelPictureDc, 800, 480); }

// The full panel as PaintPanel and RefreshPanel build it: the panel picture, the indicator
// frames that the preferences and the link variant select, and the given LCD pixels at
// (2c + 78, 2m + 32), a 2 x 2 block in solid style, clipped to the LCD window.
Picture ExpectedFullPanel(const std::vector<LcdPixel>& lit, bool solid) {
  Picture expected = PanelPicture();
  expected.Paste(Snapshot(Panel.AuxIndicatorDc, 52, 14, 0, 14 * Panel.AuxFlag), 176, 16);
  expected.Paste(Snapshot(Panel.UsbIndicatorDc, 72, 14, 0, 14 * Panel.UsbFlag), 269, 16);
  expected.Paste(Snapshot(Panel.LinkIndicatorDc, 15, 10, 15 * Panel.LinkVariant.load(), 0), 780,
                 470);
  const int block = solid ? 2 : 1;
  for (const LcdPixel& pixel : lit) {
    for (int dy = 0; dy < block; ++dy) {
      for (int dx = 0; dx < block; ++dx) {
        const int x = 2 * pixel.c + 78 + dx;
        const int y = 2 * pixel.m + 32 + dy;
        if (Inside(FullPanelLcdWindow, x, y)) expected.At(x, y) = LcdRed;
      }
    }
  }
  return expected;
}

Picture ClockStrip(const Picture& screen) { return screen.Region(240, 447, 318, 30); }

// The brightest grey of a picture: the colour of the clock text drawn on black.
Rgb BrightestGrey(const Picture& picture) {
  Rgb brightest = 0;
  for (Rgb pixel : picture.pixels) {
    const Rgb blue = pixel & 0xFF;
    const bool grey = (pixel >> 16) == blue && ((pixel >> 8) & 0xFF) == blue;
    if (grey && blue > (brightest & 0xFF)) brightest = pixel;
  }
  return brightest;
}

HDC SpriteContext(int bitmap) {
  switch (bitmap) {
    case 190:
      return Panel.PresetLampsDc;
    case 191:
      return Panel.KeyRowLampsDc;
    case 192:
      return Panel.SideKeyLampsDc;
    default:
      return Panel.TopBarLampsDc;
  }
}

TEST_F(ScreenTest, FullPanelShowsTheLcdDoubledInsideItsWindow) {
  const std::vector<LcdPixel> lit = {
      {14, 7},     // solid: the bottom right point of its block; dotted: nothing
      {119, 314},  // the top left point only
      {60, 100},  {61, 101}, {100, 200}, {13, 50},  // above the window
      {60, 6},                                      // left of it
      {60, 315},                                    // right of it
      {120, 100},                                   // below it
  };
  for (const LcdPixel& pixel : lit) LightLcd(pixel.m, pixel.c);
  ShowPanel();
  Refresh();
  Picture screen = CaptureScreenPicture();
  KeepCapture(screen, "full-panel-dotted");
  // Also shows that the first refresh after a paint brings no clock and no lamp.
  EXPECT_EQ(Differences(screen, ExpectedFullPanel(lit, false)), "");

  OnMainThread([] { Panel.LcdFillStyle = 1; });
  PostAndRun(WM_PAINT);
  Refresh();
  screen = CaptureScreenPicture();
  KeepCapture(screen, "full-panel-solid");
  EXPECT_EQ(Differences(screen, ExpectedFullPanel(lit, true)), "");
}

TEST_F(ScreenTest, IndicatorsShowTheFramesTheirFlagsSelect) {
  const struct {
    std::int32_t aux, usb;
    std::uint8_t variant;
  } cases[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
  ShowPanel();
  for (const auto& test : cases) {
    SCOPED_TRACE(testing::Message() << "AuxFlag " << test.aux << ", UsbFlag " << test.usb
                                    << ", LinkVariant " << int{test.variant});
    OnMainThread([&] {
      Panel.AuxFlag = test.aux;
      Panel.UsbFlag = test.usb;
    });
    Panel.LinkVariant = test.variant;
    const Picture aux = Snapshot(Panel.AuxIndicatorDc, 52, 14, 0, 14 * test.aux);
    const Picture usb = Snapshot(Panel.UsbIndicatorDc, 72, 14, 0, 14 * test.usb);
    const Picture link = Snapshot(Panel.LinkIndicatorDc, 15, 10, 15 * test.variant, 0);
    // Both the refresh and the paint draw them.
    for (UINT message : {WM_PANEL_REFRESH, WM_PAINT}) {
      PostAndRun(message);
      const Picture screen = CaptureScreenPicture();
      EXPECT_EQ(Differences(screen.Region(176, 16, 52, 14), aux), "") << message;
      EXPECT_EQ(Differences(screen.Region(269, 16, 72, 14), usb), "") << message;
      EXPECT_EQ(Differences(screen.Region(780, 470, 15, 10), link), "") << message;
    }
  }
}

TEST_F(ScreenTest, ClockLineReachesTheScreenWithTheSecondRefreshAfterAPaint) {
  ShowPanel();
  const Picture no_clock = ClockStrip(PanelPicture());
  const auto clock_on_screen = [] { return ClockStrip(CaptureScreenPicture()); };

  Refresh();
  EXPECT_EQ(Differences(clock_on_screen(), no_clock), "") << "first refresh";
  Refresh();
  EXPECT_EQ(BrightestGrey(clock_on_screen()), 0xFFFFFFu) << "the minute changed from 0 to 5";
  Refresh();
  EXPECT_EQ(BrightestGrey(clock_on_screen()), 0x808080u);

  PostAndRun(WM_PAINT);
  EXPECT_EQ(Differences(clock_on_screen(), no_clock), "") << "after the paint";
  Refresh();
  EXPECT_EQ(Differences(clock_on_screen(), no_clock), "") << "first refresh after the paint";
  Refresh();
  EXPECT_EQ(BrightestGrey(clock_on_screen()), 0x808080u) << "second refresh after the paint";

  // 09:06: the refresh that reads the new minute writes white, the next one shows it.
  platform::AdvanceVirtualTime(60'000);
  Refresh();
  EXPECT_EQ(BrightestGrey(clock_on_screen()), 0x808080u);
  Refresh();
  const Picture white = clock_on_screen();
  KeepCapture(white, "clock-line");
  EXPECT_EQ(BrightestGrey(white), 0xFFFFFFu);
}

TEST_F(ScreenTest, HeldButtonLampIsRedrawnOverEachRefresh) {
  ShowPanel();
  const Picture panel = PanelPicture();
  for (int held : {0, 1, 5, 21, 29}) {
    SCOPED_TRACE(held);
    OnMainThread([held] { Panel.ButtonId = held; });
    Refresh();
    const Picture screen = CaptureScreenPicture();
    for (const ButtonLamp& lamp : ButtonLamps) {
      const Picture expected =
          lamp.button_id == held
              ? Snapshot(SpriteContext(lamp.bitmap), LampFrameWidth, LampFrameHeight)
              : panel.Region(lamp.x, lamp.y, LampFrameWidth, LampFrameHeight);
      EXPECT_EQ(
          Differences(screen.Region(lamp.x, lamp.y, LampFrameWidth, LampFrameHeight), expected), "")
          << "lamp " << lamp.button_id;
    }
  }
}

TEST_F(ScreenTest, CompactViewRefreshRedrawsOnlyItsLcdCorner) {
  PlaceCompactBackground();
  ShowPanel();
  SwitchToView(0);
  const Picture background = Snapshot(Panel.CompactBackgroundDc, 800, 480);
  EXPECT_EQ(Differences(CaptureScreenPicture(), background), "");

  const std::vector<LcdPixel> lit = {
      {13, 0},                           // the corner's top left
      {60, 100}, {61, 101}, {122, 319},  // its bottom right
      {12, 5},                           // above it
      {60, 320},                         // right of it
      {123, 5},                          // below it
  };
  for (const LcdPixel& pixel : lit) LightLcd(pixel.m, pixel.c);
  // A touch on the compact LCD leaves ButtonId 29, whose lamp this view never shows.
  OnMainThread([] {
    Panel.LcdColourIndex = 3;
    Panel.ButtonId = 29;
  });
  Refresh();
  Refresh();
  Picture expected = background;
  for (const LcdPixel& pixel : lit) {
    const int x = 470 + pixel.c;
    const int y = 347 + pixel.m;
    if (Inside(CompactLcdCorner, x, y)) expected.At(x, y) = 0x50FF64;
  }
  const Picture screen = CaptureScreenPicture();
  KeepCapture(screen, "compact-view");
  EXPECT_EQ(Differences(screen, expected), "");
}

TEST_F(ScreenTest, CompactViewWithoutItsBackgroundShowsTheLcdOnBlack) {
  ShowPanel();
  LightLcd(60, 100);
  SwitchToView(0);
  Picture expected(800, 480);
  expected.At(570, 407) = LcdRed;
  EXPECT_EQ(Differences(CaptureScreenPicture(), expected), "");
}

void SetLcd(int m, int c, bool lit) {
  std::lock_guard<std::mutex> hold(Panel.LcdMatrixLock);
  Panel.LcdPixelMatrix[m][c] = lit ? 255 : 0;
  Panel.LcdRowWritten[m] = true;
}

// A text line of the LCD, rows 40 to 55, written anew from a seed.
void WriteLcdLine(unsigned seed) {
  for (int m = 40; m < 56; ++m) {
    for (int c = 10; c < 300; ++c) SetLcd(m, c, (m * 31 + c * 7 + seed) % 5 == 0);
  }
}

// In each view, a run of refreshes that each find something else changed (LCD rows, a single
// pixel, an indicator, the fill style, a new minute) leaves the screen as a paint and two
// refreshes of the same state build it whole.
TEST_F(ScreenTest, RefreshesOfTheChangesAddUpToAWholeRefresh) {
  PlaceCompactBackground();
  ShowPanel();
  for (std::uint8_t view : {FullPanelMode, CompactViewMode}) {
    SCOPED_TRACE(view == FullPanelMode ? "full panel" : "compact view");
    SwitchToView(view);
    for (unsigned step = 0; step < 3; ++step) {
      WriteLcdLine(step);
      Refresh();
    }
    SetLcd(100, 200, true);
    Refresh();
    SetLcd(100, 200, false);
    SetLcd(20, 30, true);
    Refresh();
    OnMainThread([] { Panel.AuxFlag = 1; });
    Refresh();
    OnMainThread([] { Panel.LcdFillStyle = 1; });
    WriteLcdLine(7);
    Refresh();
    platform::AdvanceVirtualTime(60'000);
    for (int quiet = 0; quiet < 3; ++quiet) Refresh();
    const Picture refreshed = CaptureScreenPicture();

    PostAndRun(WM_PAINT);
    Refresh();
    Refresh();
    EXPECT_EQ(Differences(refreshed, CaptureScreenPicture()), "");
    OnMainThread([] {
      Panel.AuxFlag = 0;
      Panel.LcdFillStyle = 0;
    });
  }
}

int presents_seen = 0;
void CountPresent(const platform::testing::PresentedWindow&) { ++presents_seen; }

TEST_F(ScreenTest, UnchangedFramePresentsNothing) {
  ShowPanel();
  // The first refresh writes the clock line, the second shows it and turns it grey, the third
  // shows the grey.
  for (int settle = 0; settle < 3; ++settle) Refresh();
  presents_seen = 0;
  platform::testing::ObservePresents(CountPresent);
  Refresh();
  Refresh();
  EXPECT_EQ(presents_seen, 0);
  LightLcd(60, 100);
  Refresh();
  EXPECT_EQ(presents_seen, 1);
  platform::testing::ObservePresents(nullptr);
}

TEST_F(ScreenTest, RefreshAfterTheSurfacesWereReleasedDrawsNothing) {
  ShowPanel();
  Refresh();
  const Picture before = CaptureScreenPicture();
  OnMainThread([] { ReleaseDrawingObjects(); });
  LightLcd(60, 100);
  Refresh();
  SwitchToView(0);
  EXPECT_EQ(Differences(CaptureScreenPicture(), before), "");
}

}  // namespace
