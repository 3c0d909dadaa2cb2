// A 24-bit picture in memory and the shapes the panel's pictures are drawn with.
//
// Shapes are anti-aliased by counting how many of 4 x 4 sample points inside a pixel a shape
// covers. The shapes use plain arithmetic and square roots only (no library curves), which IEEE
// rounds the same way everywhere, so the generator reproduces its files byte for byte.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct Rgb {
  std::uint8_t r;
  std::uint8_t g;
  std::uint8_t b;
};

bool operator==(Rgb a, Rgb b);
bool operator!=(Rgb a, Rgb b);

// Inclusive pixel bounds, as the panel's touch rectangles are given.
struct Box {
  int left;
  int top;
  int right;
  int bottom;
};

struct Image {
  int width;
  int height;
  std::vector<Rgb> pixels;  // rows top to bottom

  Image(int width, int height, Rgb fill);
  Rgb& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  Rgb At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// A shape: whether the point (x, y) lies inside it. Pixel (x, y) spans x to x + 1, y to y + 1.
using Shape = std::function<bool(double x, double y)>;

// Coverage runs from 0 (keep the pixel) to 255 (replace it with the colour).
Rgb Mix(Rgb under, Rgb over, int coverage);
void BlendPixel(Image& image, int x, int y, Rgb colour, int coverage);
void FillBox(Image& image, Box box, Rgb colour);
// Draws the shape within the bounds (clipped to the image).
void FillShape(Image& image, Box bounds, Rgb colour, const Shape& shape);
// Copies a part of one picture into another (clipped to the destination).
void CopyArea(Image& to, int to_x, int to_y, const Image& from, Box area);

// Shapes in picture coordinates.
Shape RoundedBoxShape(double left, double top, double right, double bottom, double radius);
Shape CircleShape(double centre_x, double centre_y, double radius);
Shape TriangleShape(double x0, double y0, double x1, double y1, double x2, double y2);
// A stroke of the given width from (x0, y0) to (x1, y1) with round ends.
Shape StrokeShape(double x0, double y0, double x1, double y1, double width);
Shape UnionShape(Shape a, Shape b);
Shape CutShape(Shape from, Shape cut);

// The box of a RoundedBoxShape that fills whole pixels: from left to right + 1.
Shape PixelBoxShape(Box box, double radius);
