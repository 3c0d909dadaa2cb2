// The maker's logo (bitmap 210) and the program's icon: the name over the red of the preset bar.
#include "pictures.h"

namespace {

constexpr Rgb LogoGrey = {222, 222, 222};
constexpr Rgb IconFace = {34, 34, 37};
constexpr Rgb IconRim = {86, 86, 92};

// How much of each pixel the shape covers, 0 to 255.
std::vector<std::uint8_t> CoverageOf(int size, const Shape& shape) {
  Image mask(size, size, Black);
  FillShape(mask, {0, 0, size - 1, size - 1}, {255, 255, 255}, shape);
  std::vector<std::uint8_t> coverage;
  for (Rgb pixel : mask.pixels) coverage.push_back(pixel.r);
  return coverage;
}

// A rounded dark tile with a light rim, a Q and a red bar. The rim colour runs out to the tile's
// edge, so that the soft edge comes from the transparency alone.
IconImage DrawIconImage(CaptionFont& font, int size) {
  const double corner = size / 5.0;
  const Box whole = {0, 0, size - 1, size - 1};
  IconImage icon = {Image(size, size, IconRim), CoverageOf(size, PixelBoxShape(whole, corner))};
  FillShape(icon.colour, whole, IconFace, RoundedBoxShape(1, 1, size - 1, size - 1, corner - 1));
  // The Q's tail reaches below its baseline, so the letter stands high above the bar.
  const TextStyle letter = {size * 9 / 16, LogoGrey};
  DrawCaption(icon.colour, font, letter, "Q", size / 2.0, size * 0.35);
  FillShape(icon.colour, whole, PresetFace,
            RoundedBoxShape(size * 0.22, size * 0.78, size * 0.78, size * 0.78 + size / 8.0,
                            size / 32.0));
  return icon;
}

}  // namespace

Image DrawLogo(CaptionFont& font) {
  Image logo(73, 42, Black);
  DrawCaption(logo, font, {17, LogoGrey, 1}, "QUELT", 36.5, 17);
  FillShape(logo, {0, 0, 72, 41}, PresetFace, RoundedBoxShape(8, 30, 65, 34, 1.5));
  return logo;
}

std::vector<IconImage> DrawIcon(CaptionFont& font) {
  return {DrawIconImage(font, 32), DrawIconImage(font, 16)};
}
