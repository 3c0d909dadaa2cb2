// What tests (and demos) may ask of the display: run headless, read the screen, touch it, and
// see the message boxes the program showed. Not for the program itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform::testing {

// The screen that captures and pen positions refer to.
constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 480;

// Uses the headless display even when a real one exists. Call before the first window.
void ForceHeadlessDisplay();

// The whole screen as RGB bytes (3 per pixel, rows top first, kScreenWidth x kScreenHeight): the
// visible top-level windows composed in their stacking order over black.
std::vector<std::uint8_t> CaptureScreen();
// Writes an RGB capture as a 24-bit .bmp file; false when the file cannot be written.
bool WriteCaptureBmp(const std::vector<std::uint8_t>& rgb, const char* path);

enum class Pen { Down, Up };
// A touch at screen coordinates, posted as WM_LBUTTONDOWN / WM_LBUTTONUP to the topmost visible
// top-level window under the point, in that window's coordinates. A pen-up goes to the window
// that received the pen-down (while it is shown), as a touch screen captures the finger. False
// when no window got it, also when the window is disabled (the owner of a modal box).
bool InjectPen(Pen pen, int x, int y);

struct ShownMessageBox {
  HWND owner;
  std::u16string text;
  std::u16string caption;
};
std::vector<ShownMessageBox> MessageBoxesShown();
void ClearMessageBoxesShown();
// How long (in the active clock) the headless display takes to answer a box; 0 by default.
void SetMessageBoxDelayMs(std::int64_t delay_ms);

// Benchmarks time the screen through this, and tests see what reaches it: called on the
// presenting thread each time drawing on a window reached the screen, with the window's pixels
// (0x00RRGGBB, rows top first) as they were presented. The pixels may be read during the call
// only. Null stops the calls.
struct PresentedWindow {
  HWND window;
  const std::uint32_t* pixels;
  int width;
  int height;
};
void ObservePresents(void (*observer)(const PresentedWindow& presented));

}  // namespace platform::testing
