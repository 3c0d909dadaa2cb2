// The shared pen path: the mapping through the letterbox, the bar rule, which window holds the
// pen, and the posted messages. Start reading at ReportPen. Any thread may report; the display
// thread does.
#include "platform/display/pen_input.h"

#include <mutex>

#include "platform/display/display_backend.h"
#include "platform/display/letterbox.h"
#include "platform/display/window_surfaces.h"

namespace platform::display {
namespace {

struct Pen {
  // The window that got the press, until the pen lifts; and where the pen last was on it.
  HWND holder = nullptr;
  POINT last{};
  // The fit of the last window and area mapped: a pen reports many points on one of them.
  Letterbox fit;
};

std::mutex pen_lock;
Pen pen;

// Same-sized areas map through the identity fit, so that a point off the window is off the
// picture too. False, with the nearest edge pixel, off the picture; false and 0, 0 for a window
// without a record. The pen lock must be held.
bool MapLocked(HWND window, double x, double y, int area_width, int area_height, POINT* pixel,
               bool* known) {
  *pixel = POINT{};
  int picture_width = 0;
  int picture_height = 0;
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    const WindowRecord* record = FindWindowRecord(window);
    *known = record != nullptr;
    if (!record) return false;
    picture_width = record->width;
    picture_height = record->height;
  }
  Letterbox& fit = pen.fit;
  if (fit.picture_width != picture_width || fit.picture_height != picture_height ||
      fit.area_width != area_width || fit.area_height != area_height) {
    fit = FitPicture(picture_width, picture_height, area_width, area_height);
  }
  return PictureOfAreaPoint(fit, x, y, pixel);
}

bool Post(HWND window, UINT message, WPARAM buttons, POINT pixel) {
  return PostInput(window, message, buttons, MAKELPARAM(pixel.x, pixel.y));
}

}  // namespace

bool PenPixel(HWND window, double x, double y, int area_width, int area_height, POINT* pixel) {
  std::lock_guard<std::mutex> hold(pen_lock);
  bool known = false;
  return MapLocked(window, x, y, area_width, area_height, pixel, &known);
}

void ReportPen(HWND window, double x, double y, int area_width, int area_height, PenAction action) {
  std::unique_lock<std::mutex> hold(pen_lock);
  POINT pixel{};
  bool known = false;
  const bool on_picture = MapLocked(window, x, y, area_width, area_height, &pixel, &known);
  if (!known) return;
  switch (action) {
    case PenAction::Down:
      // One pen: a second finger or pointer does not press while the first holds it.
      if (pen.holder || !on_picture) return;
      pen.holder = window;
      pen.last = pixel;
      hold.unlock();
      // A window that does not take the press (disabled) does not hold the pen either.
      if (!Post(window, WM_LBUTTONDOWN, MK_LBUTTON, pixel)) {
        hold.lock();
        if (pen.holder == window) pen.holder = nullptr;
      }
      return;
    case PenAction::Move:
      if (pen.holder != window) return;
      if (!on_picture) {
        pen.holder = nullptr;
        hold.unlock();
        Post(window, WM_LBUTTONUP, 0, pixel);
        return;
      }
      if (pixel.x == pen.last.x && pixel.y == pen.last.y) return;
      pen.last = pixel;
      hold.unlock();
      Post(window, WM_MOUSEMOVE, MK_LBUTTON, pixel);
      return;
    case PenAction::Up:
      if (pen.holder != window) return;
      pen.holder = nullptr;
      hold.unlock();
      Post(window, WM_LBUTTONUP, 0, pixel);
      return;
  }
}

void LiftPenFrom(HWND window) {
  std::unique_lock<std::mutex> hold(pen_lock);
  if (!window || pen.holder != window) return;
  pen.holder = nullptr;
  const POINT last = pen.last;
  hold.unlock();
  Post(window, WM_LBUTTONUP, 0, last);
}

void ForgetPenOf(HWND window) {
  std::lock_guard<std::mutex> hold(pen_lock);
  if (pen.holder == window) pen.holder = nullptr;
}

}  // namespace platform::display
