#include "image.h"

#include <algorithm>

bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
bool operator!=(Rgb a, Rgb b) { return !(a == b); }

Image::Image(int width, int height, Rgb fill)
    : width(width), height(height), pixels(static_cast<std::size_t>(width) * height, fill) {}

static std::uint8_t MixChannel(int under, int over, int coverage) {
  return static_cast<std::uint8_t>((under * (255 - coverage) + over * coverage + 127) / 255);
}

Rgb Mix(Rgb under, Rgb over, int coverage) {
  coverage = std::clamp(coverage, 0, 255);
  return {MixChannel(under.r, over.r, coverage), MixChannel(under.g, over.g, coverage),
          MixChannel(under.b, over.b, coverage)};
}

void BlendPixel(Image& image, int x, int y, Rgb colour, int coverage) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height || coverage <= 0) return;
  image.At(x, y) = Mix(image.At(x, y), colour, coverage);
}

void FillBox(Image& image, Box box, Rgb colour) {
  for (int y = std::max(box.top, 0); y <= std::min(box.bottom, image.height - 1); ++y) {
    for (int x = std::max(box.left, 0); x <= std::min(box.right, image.width - 1); ++x) {
      image.At(x, y) = colour;
    }
  }
}

// Sample points per pixel along each axis.
constexpr int Samples = 4;

void FillShape(Image& image, Box bounds, Rgb colour, const Shape& shape) {
  for (int y = std::max(bounds.top, 0); y <= std::min(bounds.bottom, image.height - 1); ++y) {
    for (int x = std::max(bounds.left, 0); x <= std::min(bounds.right, image.width - 1); ++x) {
      int inside = 0;
      for (int sy = 0; sy < Samples; ++sy) {
        for (int sx = 0; sx < Samples; ++sx) {
          if (shape(x + (sx + 0.5) / Samples, y + (sy + 0.5) / Samples)) ++inside;
        }
      }
      BlendPixel(image, x, y, colour, (inside * 255 + Samples * Samples / 2) / (Samples * Samples));
    }
  }
}

void CopyArea(Image& to, int to_x, int to_y, const Image& from, Box area) {
  for (int y = area.top; y <= area.bottom; ++y) {
    for (int x = area.left; x <= area.right; ++x) {
      const int dx = to_x + x - area.left;
      const int dy = to_y + y - area.top;
      if (dx >= 0 && dy >= 0 && dx < to.width && dy < to.height) to.At(dx, dy) = from.At(x, y);
    }
  }
}

Shape RoundedBoxShape(double left, double top, double right, double bottom, double radius) {
  return [=](double x, double y) {
    if (x < left || x > right || y < top || y > bottom) return false;
    // Distance into the corner square, if the point lies in one.
    const double cx = std::min(x - left, right - x);
    const double cy = std::min(y - top, bottom - y);
    if (cx >= radius || cy >= radius) return true;
    const double dx = radius - cx;
    const double dy = radius - cy;
    return dx * dx + dy * dy <= radius * radius;
  };
}

Shape PixelBoxShape(Box box, double radius) {
  return RoundedBoxShape(box.left, box.top, box.right + 1, box.bottom + 1, radius);
}

Shape CircleShape(double centre_x, double centre_y, double radius) {
  return [=](double x, double y) {
    const double dx = x - centre_x;
    const double dy = y - centre_y;
    return dx * dx + dy * dy <= radius * radius;
  };
}

Shape TriangleShape(double x0, double y0, double x1, double y1, double x2, double y2) {
  return [=](double x, double y) {
    const double a = (x1 - x0) * (y - y0) - (y1 - y0) * (x - x0);
    const double b = (x2 - x1) * (y - y1) - (y2 - y1) * (x - x1);
    const double c = (x0 - x2) * (y - y2) - (y0 - y2) * (x - x2);
    return (a >= 0 && b >= 0 && c >= 0) || (a <= 0 && b <= 0 && c <= 0);
  };
}

Shape StrokeShape(double x0, double y0, double x1, double y1, double width) {
  return [=](double x, double y) {
    const double vx = x1 - x0;
    const double vy = y1 - y0;
    const double length_squared = vx * vx + vy * vy;
    double t = length_squared > 0 ? ((x - x0) * vx + (y - y0) * vy) / length_squared : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double dx = x - (x0 + t * vx);
    const double dy = y - (y0 + t * vy);
    return dx * dx + dy * dy <= width * width / 4;
  };
}

Shape UnionShape(Shape a, Shape b) {
  return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) || b(x, y); };
}

Shape CutShape(Shape from, Shape cut) {
  return [from = std::move(from), cut = std::move(cut)](double x, double y) {
    return from(x, y) && !cut(x, y);
  };
}
