// A sample background for the compact view: mountains at dusk under a starry sky. The near hills
// cover the lower right corner in near black, where the small LCD is drawn over the picture.
//
// Every curve comes from a small integer hash and plain arithmetic, so the picture is the same on
// every machine.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "pictures.h"

namespace {

constexpr int Width = 800;
constexpr int Height = 480;

std::uint32_t Hash(std::uint32_t value) {
  value ^= value >> 16;
  value *= 0x7FEB352Du;
  value ^= value >> 15;
  value *= 0x846CA68Bu;
  value ^= value >> 16;
  return value;
}

double Hash01(int lattice, std::uint32_t seed) {
  return (Hash(static_cast<std::uint32_t>(lattice) * 0x9E3779B9u ^ seed) & 0xFFFFFF) / 16777216.0;
}

// Smoothly interpolated random values at whole numbers: 0 to 1.
double ValueNoise(double x, std::uint32_t seed) {
  const double cell = std::floor(x);
  const double t = x - cell;
  const double smooth = t * t * (3 - 2 * t);
  const double a = Hash01(static_cast<int>(cell), seed);
  const double b = Hash01(static_cast<int>(cell) + 1, seed);
  return a + (b - a) * smooth;
}

// Four octaves of noise, -0.5 to 0.5: the outline of a mountain range.
double RidgeNoise(double x, std::uint32_t seed) {
  double sum = 0;
  double weight = 0.5;
  double frequency = 1;
  for (int octave = 0; octave < 4; ++octave) {
    sum += weight * (ValueNoise(x * frequency, seed + octave) - 0.5);
    weight *= 0.5;
    frequency *= 2.03;
  }
  return sum / 0.9375;
}

Rgb Lerp(Rgb a, Rgb b, double t) {
  return Mix(a, b, static_cast<int>(std::clamp(t, 0.0, 1.0) * 255 + 0.5));
}

struct SkyStop {
  double y;
  Rgb colour;
};
const SkyStop SkyStops[] = {
    {0, {6, 9, 32}},       {130, {28, 32, 88}},    {205, {104, 62, 118}},
    {255, {216, 112, 96}}, {292, {252, 182, 104}},
};

Rgb SkyAt(double y) {
  for (std::size_t i = 1; i < std::size(SkyStops); ++i) {
    if (y <= SkyStops[i].y) {
      const SkyStop& a = SkyStops[i - 1];
      const SkyStop& b = SkyStops[i];
      return Lerp(a.colour, b.colour, (y - a.y) / (b.y - a.y));
    }
  }
  return SkyStops[std::size(SkyStops) - 1].colour;
}

constexpr double SunX = 236;
constexpr double SunY = 270;
constexpr double SunRadius = 22;
constexpr Rgb SunCore = {255, 238, 196};
constexpr Rgb SunGlow = {255, 196, 128};

void DrawSky(Image& image) {
  for (int y = 0; y < Height; ++y) {
    for (int x = 0; x < Width; ++x) {
      const double dx = x + 0.5 - SunX;
      const double dy = y + 0.5 - SunY;
      const double falloff = 1 / (1 + (dx * dx + dy * dy) / (46.0 * 46.0));
      image.At(x, y) = Lerp(SkyAt(y + 0.5), SunGlow, 0.6 * falloff);
    }
  }
  FillShape(image, {200, 230, 272, 300}, SunCore, CircleShape(SunX, SunY, SunRadius));
}

// Stars only where the sky is dark enough to show them.
void DrawStars(Image& image) {
  for (std::uint32_t star = 0; star < 170; ++star) {
    const int x = static_cast<int>(Hash(star * 3 + 1) % Width);
    const int y = static_cast<int>(Hash(star * 3 + 2) % 200);
    const Rgb sky = image.At(x, y);
    if (sky.r + sky.g + sky.b > 240) continue;
    const int brightness = 90 + static_cast<int>(Hash(star * 3 + 3) % 150);
    BlendPixel(image, x, y, {236, 236, 255}, brightness);
    if (brightness > 210) {  // the brightest get a faint halo
      BlendPixel(image, x - 1, y, {236, 236, 255}, brightness / 4);
      BlendPixel(image, x + 1, y, {236, 236, 255}, brightness / 4);
      BlendPixel(image, x, y - 1, {236, 236, 255}, brightness / 4);
      BlendPixel(image, x, y + 1, {236, 236, 255}, brightness / 4);
    }
  }
}

struct Range {
  std::uint32_t seed;
  double base_y;  // mean height of the ridge at the left edge
  double rise;    // how much higher it stands at the right edge
  double amplitude;
  double scale;  // pixels per noise cell
  Rgb top;       // colour just under the ridge
  Rgb bottom;    // colour at the foot of the picture
};

const Range Ranges[] = {
    {11, 262, 0, 60, 150, {112, 72, 124}, {70, 46, 92}},  // far peaks in the haze
    {23, 306, 10, 52, 95, {52, 34, 76}, {30, 22, 50}},    // nearer mountains
    {37, 372, 62, 34, 120, {16, 12, 26}, {5, 4, 10}},     // the hills in front
};

double RidgeY(const Range& range, double x) {
  return range.base_y - range.rise * x / Width +
         range.amplitude * RidgeNoise(x / range.scale, range.seed);
}

void DrawRange(Image& image, const Range& range) {
  for (int x = 0; x < Width; ++x) {
    const double ridge = RidgeY(range, x + 0.5);
    for (int y = std::max(0, static_cast<int>(std::floor(ridge))); y < Height; ++y) {
      const double depth = (y - ridge) / (Height - ridge);
      const Rgb colour = Lerp(range.top, range.bottom, depth);
      // The ridge pixel is covered by the part of it that lies below the ridge line.
      const double covered = std::clamp(y + 1 - ridge, 0.0, 1.0);
      BlendPixel(image, x, y, colour, static_cast<int>(covered * 255 + 0.5));
    }
  }
}

// A few pines on the front hills, left of the LCD corner.
void DrawPines(Image& image) {
  const Range& front = Ranges[std::size(Ranges) - 1];
  for (std::uint32_t pine = 0; pine < 26; ++pine) {
    const double x = 12 + (Hash(pine + 500) % 440);
    const double height = 12 + (Hash(pine + 900) % 22);
    const double foot = RidgeY(front, x) + 3;
    const Shape tree =
        TriangleShape(x - height * 0.28, foot, x + height * 0.28, foot, x, foot - height);
    FillShape(image,
              {static_cast<int>(x - height), static_cast<int>(foot - height) - 1,
               static_cast<int>(x + height), static_cast<int>(foot) + 1},
              front.top, tree);
  }
}

}  // namespace

Image DrawCompactBackground() {
  Image image(Width, Height, Black);
  DrawSky(image);
  DrawStars(image);
  for (const Range& range : Ranges) DrawRange(image, range);
  DrawPines(image);
  return image;
}
