// The screen as the tests and the headless screen file see it: the visible top-level windows
// composed in stacking order; and pen events delivered to the window under the point. Works with
// every backend, since all keep their pixels in the window records.
#include <SDL.h>

#include <algorithm>

#include "platform/display/display_backend.h"
#include "platform/display/screen_file.h"
#include "platform/display/window_surfaces.h"
#include "platform/testing_display.h"

namespace platform::testing {
namespace {

using display::WindowRecord;

// The window that received the last pen-down, until the pen-up.
HWND pen_down_window = nullptr;

void ComposeWindow(const WindowRecord& record, std::uint8_t* rgb) {
  const int left = std::max<LONG>(record.rect.left, 0);
  const int top = std::max<LONG>(record.rect.top, 0);
  const int right =
      std::min<long long>(static_cast<long long>(record.rect.left) + record.width, kScreenWidth);
  const int bottom =
      std::min<long long>(static_cast<long long>(record.rect.top) + record.height, kScreenHeight);
  for (int y = top; y < bottom; ++y) {
    const std::uint32_t* source =
        record.pixels + static_cast<std::size_t>(y - record.rect.top) * record.width;
    std::uint8_t* out = rgb + (static_cast<std::size_t>(y) * kScreenWidth + left) * 3;
    for (int x = left; x < right; ++x) {
      const std::uint32_t pixel = source[x - record.rect.left];
      *out++ = static_cast<std::uint8_t>(pixel >> 16);
      *out++ = static_cast<std::uint8_t>(pixel >> 8);
      *out++ = static_cast<std::uint8_t>(pixel);
    }
  }
}

bool Contains(const WindowRecord& record, int x, int y) {
  return x >= record.rect.left && y >= record.rect.top && x - record.rect.left < record.width &&
         y - record.rect.top < record.height;
}

}  // namespace
}  // namespace platform::testing

std::vector<std::uint8_t> platform::display::ComposeScreen() {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(testing::kScreenWidth) *
                                testing::kScreenHeight * 3);
  std::lock_guard<std::mutex> hold(SurfacesLock());
  ForEachVisibleTopLevel(
      [&](const WindowRecord& record) { testing::ComposeWindow(record, rgb.data()); });
  return rgb;
}

namespace platform::testing {

std::vector<std::uint8_t> CaptureScreen() { return display::ComposeScreen(); }

bool WriteCaptureBmp(const std::vector<std::uint8_t>& rgb, const char* path) {
  if (rgb.size() != static_cast<std::size_t>(kScreenWidth) * kScreenHeight * 3) return false;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<std::uint8_t*>(rgb.data()), kScreenWidth, kScreenHeight, 24, kScreenWidth * 3,
      SDL_PIXELFORMAT_RGB24);
  if (!surface) return false;
  const bool written = SDL_SaveBMP(surface, path) == 0;
  SDL_FreeSurface(surface);
  return written;
}

bool InjectPen(Pen pen, int x, int y) {
  HWND target = nullptr;
  POINT origin{};
  {
    std::lock_guard<std::mutex> hold(display::SurfacesLock());
    // The pen-up goes to the window that got the pen-down while that one is still shown;
    // otherwise, like a pen-down, to the topmost window under the point.
    const WindowRecord* under = nullptr;
    const WindowRecord* touched = nullptr;
    display::ForEachVisibleTopLevel([&](const WindowRecord& record) {
      if (Contains(record, x, y)) under = &record;
      if (record.handle == pen_down_window) touched = &record;
    });
    const WindowRecord* chosen = pen == Pen::Up && touched ? touched : under;
    if (chosen) {
      target = chosen->handle;
      origin = POINT{chosen->rect.left, chosen->rect.top};
    }
    pen_down_window = pen == Pen::Down ? target : nullptr;
  }
  if (!target) return false;
  const UINT message = pen == Pen::Down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
  const WPARAM buttons = pen == Pen::Down ? MK_LBUTTON : 0;
  return display::PostInput(target, message, buttons, MAKELPARAM(x - origin.x, y - origin.y));
}

}  // namespace platform::testing
