// The whole program in virtual time on the headless display (the shell's fixture), with what the
// screen tests look at: captures of the screen, copies of the program's pictures, and the LCD
// pixel matrix lit by hand.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/panel_state.h"
#include "tests/app/shell_fixture.h"

// 0x00RRGGBB.
using Rgb = std::uint32_t;

constexpr Rgb LcdRed = 0xFF1400;

struct Picture {
  Picture(int picture_width, int picture_height)
      : width(picture_width), height(picture_height), pixels(width * height) {}
  Rgb& At(int x, int y) { return pixels[y * width + x]; }
  Rgb At(int x, int y) const { return pixels[y * width + x]; }
  // Copies the whole of source into this picture with its top left corner at (x, y).
  void Paste(const Picture& source, int x, int y);
  Picture Region(int x, int y, int region_width, int region_height) const;

  int width, height;
  std::vector<Rgb> pixels;
};

// The first few pixels that differ, with a count; "" when the pictures are equal.
std::string Differences(const Picture& got, const Picture& expected);

// The screen as the headless display composes it.
Picture CaptureScreenPicture();
// A width x height piece of a drawing context from (x, y), copied with BitBlt; black where the
// copy fails.
Picture Snapshot(HDC dc, int width, int height, int x = 0, int y = 0);
// Writes the picture as a PNG into the folder named by QUELT_CAPTURE_DIR, when that is set.
void KeepCapture(const Picture& picture, const std::string& name);

class ScreenTest : public ShellTest {
 protected:
  // Starts the program and shows its window, which paints the full panel.
  void ShowPanel();
  // Runs action on the main thread and lets it finish.
  void OnMainThread(std::function<void()> action);
  void PostAndRun(UINT message);
  void Refresh() { PostAndRun(WM_PANEL_REFRESH); }
  // Switches the view the way a touch does: PanelMode, then WM_PAINT and WM_PANEL_REFRESH.
  void SwitchToView(std::uint8_t panel_mode);
  void LightLcd(int m, int c);
};
