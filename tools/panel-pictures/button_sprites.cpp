// The lamps above the buttons. Each sprite's unlit frame is the panel's own surface with a dark
// lamp slot in it; the lit frame shows the slot glowing. The glow fades out inside the frame, so a
// lit lamp sits on the panel without a visible edge.
#include <algorithm>
#include <cmath>

#include "panel/lamp_table.h"
#include "pictures.h"

namespace {

struct LampStyle {
  int bitmap;
  Rgb face;  // the panel around the lamp
  Rgb slot;  // the unlit lamp
  Rgb glow;  // light around a lit lamp
  Rgb core;  // the lit lamp itself
};

constexpr Rgb Amber = {255, 168, 40};
constexpr Rgb AmberCore = {255, 232, 176};

const LampStyle LampStyles[] = {
    {190, PresetFace, {72, 6, 6}, {255, 214, 120}, {255, 250, 226}},
    {191, KeyFace, {16, 16, 17}, Amber, AmberCore},
    {192, KeyFace, {16, 16, 17}, Amber, AmberCore},
    {194, KeyFace, {16, 16, 17}, Amber, AmberCore},
};

const LampStyle& StyleOf(int bitmap) {
  for (const LampStyle& style : LampStyles) {
    if (style.bitmap == bitmap) return style;
  }
  return LampStyles[1];  // the lamp table names no other sprite; any other would be a dark one
}

// The lamp slot within a 32 x 12 frame.
constexpr double SlotLeft = 7;
constexpr double SlotRight = 25;
constexpr double SlotTop = 4.5;
constexpr double SlotBottom = 7.5;
// How far the glow of a lit lamp reaches beyond the slot: it ends one pixel inside the frame.
constexpr double GlowReach = 3.5;

double DistanceToSlot(double x, double y) {
  const double dx = std::max({SlotLeft - x, 0.0, x - SlotRight});
  const double dy = std::max({SlotTop - y, 0.0, y - SlotBottom});
  return std::sqrt(dx * dx + dy * dy);
}

Box FrameBox(int frame_x) {
  return {frame_x, 0, frame_x + LampFrameWidth - 1, LampFrameHeight - 1};
}

Shape SlotShape(int frame_x) {
  return RoundedBoxShape(frame_x + SlotLeft, SlotTop, frame_x + SlotRight, SlotBottom, 1.5);
}

void DrawUnlitLamp(Image& sprite, int frame_x, const LampStyle& style) {
  FillBox(sprite, FrameBox(frame_x), style.face);
  FillShape(sprite, FrameBox(frame_x), style.slot, SlotShape(frame_x));
}

void DrawLitLamp(Image& sprite, int frame_x, const LampStyle& style) {
  FillBox(sprite, FrameBox(frame_x), style.face);
  for (int y = 0; y < LampFrameHeight; ++y) {
    for (int x = 0; x < LampFrameWidth; ++x) {
      const double fade = 1 - DistanceToSlot(x + 0.5, y + 0.5) / GlowReach;
      if (fade > 0) {
        BlendPixel(sprite, frame_x + x, y, style.glow, static_cast<int>(200 * fade * fade));
      }
    }
  }
  FillShape(sprite, FrameBox(frame_x), style.core, SlotShape(frame_x));
}

}  // namespace

Rgb ButtonSpriteFace(int bitmap) { return StyleOf(bitmap).face; }

Image DrawButtonSprite(int bitmap) {
  const LampStyle& style = StyleOf(bitmap);
  Image sprite(2 * LampFrameWidth, LampFrameHeight, style.face);
  DrawLitLamp(sprite, LampPressedFrameX, style);
  DrawUnlitLamp(sprite, LampReleasedFrameX, style);
  return sprite;
}
