// The shared pen path: letterbox mapping, the bar rule and the mouse messages. One pen exists at a
// time on any display, so one variable under a lock keeps the window it went down on.
#include "platform/display/pen_input.h"

#include <mutex>

#include "platform/display/display_backend.h"
#include "platform/display/letterbox.h"
#include "platform/display/window_surfaces.h"

namespace platform::display {
namespace {

// wParam of the pen's messages while it touches: the left button is down.
constexpr WPARAM kLeftButtonHeld = 0x0001;

std::mutex pen_lock;
HWND pressed_window = nullptr;  // the window the pen went down on, until it lifts

bool PictureSize(HWND window, int* width, int* height) {
  std::lock_guard<std::mutex> hold(SurfacesLock());
  const WindowRecord* record = FindWindowRecord(window);
  if (!record) return false;
  *width = record->width;
  *height = record->height;
  return true;
}

}  // namespace

void ReportPen(HWND window, double x, double y, int area_width, int area_height, PenAction action) {
  int picture_width = 0, picture_height = 0;
  if (!PictureSize(window, &picture_width, &picture_height)) return;
  const Letterbox letterbox = FitPicture(picture_width, picture_height, area_width, area_height);
  POINT pixel{};
  const bool on_picture = PictureOfAreaPoint(letterbox, x, y, &pixel);
  const LPARAM position = MAKELPARAM(pixel.x, pixel.y);
  std::lock_guard<std::mutex> hold(pen_lock);
  switch (action) {
    case PenAction::Down:
      // A press replaces any earlier one whose release never came (its window went).
      pressed_window = on_picture ? window : nullptr;
      if (on_picture) PostInput(window, WM_LBUTTONDOWN, kLeftButtonHeld, position);
      break;
    case PenAction::Move:
      if (pressed_window != window) return;
      PostInput(window, WM_MOUSEMOVE, kLeftButtonHeld, position);
      break;
    case PenAction::Up:
      if (pressed_window != window) return;
      pressed_window = nullptr;
      PostInput(window, WM_LBUTTONUP, 0, position);
      break;
  }
}

}  // namespace platform::display
