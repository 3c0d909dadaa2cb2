// The screen drawn from its layers. Every pixel written carries an opaque top byte, as the
// letterbox drawing gives it.
#include "platform/display/drm/drm_compose.h"

#include <algorithm>

#include "platform/display/window_surfaces.h"
#include "platform/internal/rects.h"

namespace platform::display::drm {
namespace {

constexpr std::uint32_t kBlack = 0xFF000000;

bool Contains(const RECT& outer, const RECT& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

void FillBlack(std::uint32_t* screen, int stride, const RECT& rect) {
  for (LONG row = rect.top; row < rect.bottom; ++row) {
    std::uint32_t* line = screen + static_cast<std::size_t>(row) * stride;
    std::fill(line + rect.left, line + rect.right, kBlack);
  }
}

}  // namespace

ScreenLayer WindowLayer(const std::uint32_t* picture, int picture_width, int picture_height,
                        int screen_width, int screen_height) {
  return ScreenLayer{
      picture, FitPicture(picture_width, picture_height, screen_width, screen_height), POINT{0, 0}};
}

ScreenLayer BoxLayer(const std::uint32_t* picture, int picture_width, int picture_height,
                     int screen_width, int screen_height) {
  const bool fits = picture_width <= screen_width && picture_height <= screen_height;
  const int area_width = fits ? picture_width : screen_width;
  const int area_height = fits ? picture_height : screen_height;
  return ScreenLayer{picture, FitPicture(picture_width, picture_height, area_width, area_height),
                     POINT{(screen_width - area_width) / 2, (screen_height - area_height) / 2}};
}

RECT LayerRect(const ScreenLayer& layer) {
  return RECT{layer.origin.x, layer.origin.y, layer.origin.x + layer.letterbox.area_width,
              layer.origin.y + layer.letterbox.area_height};
}

void ComposeScreen(const std::vector<ScreenLayer>& layers, std::uint32_t* screen, int stride,
                   const RECT& rect) {
  if (RectIsEmpty(rect)) return;
  // A window's layer covers the whole screen; without one, the screen is black under the boxes.
  if (layers.empty() || !Contains(LayerRect(layers.front()), rect)) {
    FillBlack(screen, stride, rect);
  }
  for (const ScreenLayer& layer : layers) {
    const RECT on_screen = RectIntersection(rect, LayerRect(layer));
    if (RectIsEmpty(on_screen) || !layer.picture) continue;
    const RECT in_area{on_screen.left - layer.origin.x, on_screen.top - layer.origin.y,
                       on_screen.right - layer.origin.x, on_screen.bottom - layer.origin.y};
    std::uint32_t* area =
        screen + static_cast<std::size_t>(layer.origin.y) * stride + layer.origin.x;
    DrawLetterboxed(layer.letterbox, layer.picture, area, stride, in_area);
  }
}

}  // namespace platform::display::drm
