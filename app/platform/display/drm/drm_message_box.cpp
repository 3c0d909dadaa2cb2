// Message boxes on the DRM screen: the platform's own box picture, at its own size in the middle
// of the screen above the window, the latest box on top. The pen lifted on its OK button answers
// it; the window under it is disabled while it is open, so a touch beside the box does nothing.
#include <algorithm>

#include "platform/display/display_backend.h"
#include "platform/display/drm/drm_state.h"

namespace platform::display::drm {
namespace {

std::vector<OpenBox>::iterator FindBox(int token) {
  auto& boxes = Drm().boxes;
  return std::find_if(boxes.begin(), boxes.end(),
                      [token](const OpenBox& box) { return box.token == token; });
}

ScreenLayer LayerOf(const OpenBox& box) {
  const DrmDisplay& display = Drm();
  return BoxLayer(box.picture.pixels, box.picture.width, box.picture.height, display.width,
                  display.height);
}

bool Inside(const RECT& rect, double x, double y) {
  return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

}  // namespace

bool OpenMessageBox(int token, LPCWSTR text) {
  OpenBox box{token, {}};
  if (!DrawMessageBoxPicture(text, &box.picture)) return false;
  Drm().boxes.push_back(box);
  ScreenChanged(LayerRect(LayerOf(box)));
  return true;
}

void AnswerMessageBox(int token) {
  const auto found = FindBox(token);
  if (found == Drm().boxes.end()) return;
  const OpenBox box = *found;
  Drm().boxes.erase(found);
  ScreenChanged(LayerRect(LayerOf(box)));
  DeleteMessageBoxPicture(box.picture);
  MessageBoxAnswered(token);
}

bool BoxAt(double x, double y, int* token) {
  const auto& boxes = Drm().boxes;
  for (auto box = boxes.rbegin(); box != boxes.rend(); ++box) {
    if (Inside(LayerRect(LayerOf(*box)), x, y)) {
      *token = box->token;
      return true;
    }
  }
  return false;
}

void PenUpOnBox(int token, double x, double y) {
  const auto found = FindBox(token);
  if (found == Drm().boxes.end()) return;
  const ScreenLayer layer = LayerOf(*found);
  POINT pixel{};
  const bool on_picture =
      PictureOfAreaPoint(layer.letterbox, x - layer.origin.x, y - layer.origin.y, &pixel);
  if (on_picture && OnMessageBoxButton(found->picture, pixel.x, pixel.y)) AnswerMessageBox(token);
}

}  // namespace platform::display::drm
