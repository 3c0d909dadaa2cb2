// What the screen shows, drawn into a buffer: the top window filling the screen (its picture
// letterboxed when the screen is not its size), the message boxes above it, each at its own size
// in the middle of the screen (fitted in where the screen is smaller than a box). Only the
// rectangle asked for is drawn, so that a change costs only the pixels it touched.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/display/letterbox.h"

namespace platform::display::drm {

struct ScreenLayer {
  const std::uint32_t* picture = nullptr;  // rows of letterbox.picture_width pixels
  Letterbox letterbox;                     // its area is where the layer lies on the screen
  POINT origin{};                          // the area's top left corner on the screen
};

// A window's layer: the whole screen.
ScreenLayer WindowLayer(const std::uint32_t* picture, int picture_width, int picture_height,
                        int screen_width, int screen_height);
// A box's layer: its own size, centred; fitted in when the screen is smaller.
ScreenLayer BoxLayer(const std::uint32_t* picture, int picture_width, int picture_height,
                     int screen_width, int screen_height);
// The screen rectangle a layer covers.
RECT LayerRect(const ScreenLayer& layer);

// Draws rect of the screen (rows of stride pixels) from the layers, bottom first; black where no
// layer lies.
void ComposeScreen(const std::vector<ScreenLayer>& layers, std::uint32_t* screen, int stride,
                   const RECT& rect);

}  // namespace platform::display::drm
