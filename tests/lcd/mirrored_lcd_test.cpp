// From the controller's LCD to the screen: the whole program against the simulated controller,
// its link thread streaming the LCD and its main thread drawing it, compared pixel by pixel with
// the simulator's own picture of its LCD.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/panel_state.h"
#include "sim/in_process.h"
#include "sim/lcd_image.h"
#include "tests/lcd/screen_fixture.h"

namespace {

// The LCD columns that frame assembly mirrors; the simulator draws nothing outside them.
constexpr int FirstMirroredColumn = 2;
constexpr int LastMirroredColumn = 312;

// Counts the LCD pixels whose place on screen does not show them as they are on the simulator's
// LCD: lit(x, y) must hold exactly where the simulator's pixel is lit, for the LCD rows and
// columns from first_row and first_column on. Adds the lit ones to *lit_count.
int Mismatches(const sim::LcdImage& lcd, int first_row, int first_column,
               const std::function<bool(int, int)>& lit_on_screen, int* lit_count) {
  int mismatches = 0;
  for (int y = first_row; y < sim::LcdHeight; ++y) {
    for (int x = std::max(first_column, FirstMirroredColumn); x <= LastMirroredColumn; ++x) {
      const bool lit = sim::LcdPixel(lcd, x, y);
      *lit_count += lit;
      if (lit != lit_on_screen(x, y)) ++mismatches;
    }
  }
  return mismatches;
}

TEST_F(ScreenTest, SimulatorLcdReachesTheScreenInBothViews) {
  PlaceCompactBackground();
  setenv("QUELT_LINK_DEVICES", "sim", 1);
  StartProgram();
  // Discovery, the start-up packets, and the controller's greeting on its LCD have passed.
  platform::AdvanceVirtualTime(6000);
  OnMainThread([] { ShowWindow(Panel.MainWindow, SW_SHOW); });
  platform::AdvanceVirtualTime(500);
  const std::shared_ptr<sim::Controller> controller = sim::InProcessController();
  ASSERT_NE(controller, nullptr);

  // Full panel, dotted: LCD pixel (x, y) at screen (2x + 78, 2y + 32); the LCD window (x 93 to
  // 706, y 61 to 270) shows the dots of rows 15 to 119 and columns 8 to 314.
  Picture screen = CaptureScreenPicture();
  sim::LcdImage lcd = controller->Screen();
  KeepCapture(screen, "mirrored-full-panel-dotted");
  int lit = 0;
  EXPECT_EQ(Mismatches(
                lcd, 15, 8,
                [&](int x, int y) {
                  // The dark point beside each dot stays dark.
                  return screen.At(2 * x + 78, 2 * y + 32) == LcdRed &&
                         screen.At(2 * x + 79, 2 * y + 32) != LcdRed;
                },
                &lit),
            0);
  EXPECT_GT(lit, 500) << "the simulator's LCD shows next to nothing";

  // Solid: the 2 x 2 block from there, as far as it lies inside the window, which now shows
  // rows 14 to 119 and columns 7 to 314, the outer ones in part.
  OnMainThread([] { Panel.LcdFillStyle = 1; });
  platform::AdvanceVirtualTime(500);
  screen = CaptureScreenPicture();
  lcd = controller->Screen();
  KeepCapture(screen, "mirrored-full-panel-solid");
  EXPECT_EQ(
      Mismatches(
          lcd, 14, 7,
          [&](int x, int y) {
            bool all_red = true;
            for (int top = std::max(2 * y + 32, 61); top <= std::min(2 * y + 33, 270); ++top) {
              for (int left = std::max(2 * x + 78, 93); left <= std::min(2 * x + 79, 706); ++left) {
                all_red = all_red && screen.At(left, top) == LcdRed;
              }
            }
            return all_red;
          },
          &lit),
      0);

  // Compact view: LCD pixel (x, y) at (470 + x, 347 + y), from row 13.
  SwitchToView(0);
  platform::AdvanceVirtualTime(500);
  screen = CaptureScreenPicture();
  lcd = controller->Screen();
  KeepCapture(screen, "mirrored-compact-view");
  EXPECT_EQ(
      Mismatches(
          lcd, 13, 0, [&](int x, int y) { return screen.At(470 + x, 347 + y) == LcdRed; }, &lit),
      0);
}

}  // namespace
