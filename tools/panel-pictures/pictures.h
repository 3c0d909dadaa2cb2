// The pictures the generator draws, one function each, and the colours they share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ico_file.h"
#include "image.h"
#include "text.h"

// The panel is black with dark grey keys and grey captions; the preset bar is red.
constexpr Rgb Black = {0, 0, 0};
constexpr Rgb KeyFace = {44, 44, 47};
constexpr Rgb KeyHighlight = {78, 78, 82};
constexpr Rgb KeyShadow = {22, 22, 24};
constexpr Rgb CaptionGrey = {196, 196, 196};
constexpr Rgb PresetFace = {152, 24, 24};
constexpr Rgb PresetHighlight = {204, 70, 64};
constexpr Rgb PresetShadow = {84, 10, 10};
constexpr Rgb PresetCaption = {244, 232, 228};

// A ButtonSprite, 64 x 12: the lit lamp at x 0, the unlit spot at x 32.
Image DrawButtonSprite(int bitmap);
// The panel colour that a sprite's unlit frame is drawn on, which must surround its lamps.
Rgb ButtonSpriteFace(int bitmap);

// The full front panel (bitmap 188), or the same panel without captions (bitmap 213). Fails
// when a caption or an edge would lie under a lamp, since the lamp's unlit frame must then
// differ from the panel under it.
std::optional<Image> DrawPanelPicture(CaptionFont& font, bool with_captions, std::string* error);

// The AUX indicator (bitmap 211) and the USB indicator (bitmap 212), two frames of 14 rows.
Image DrawAuxIndicator(CaptionFont& font);
Image DrawUsbIndicator(CaptionFont& font);

struct PalettePicture {
  int width;
  int height;
  std::vector<std::uint8_t> indices;  // rows top to bottom
  std::vector<Rgb> palette;
};
// The link indicator (bitmap 214): V1, V2 and a red cross in frames of 15 x 10, 16 colours.
PalettePicture DrawLinkIndicator(CaptionFont& font);

// The maker's small logo (bitmap 210) and the program's icon in 32 and 16 pixels.
Image DrawLogo(CaptionFont& font);
std::vector<IconImage> DrawIcon(CaptionFont& font);

// A sample background for the compact view, dark where the small LCD lands.
Image DrawCompactBackground();
