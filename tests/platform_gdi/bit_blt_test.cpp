// BitBlt: pixel-exact copies with clipping to both surfaces, between 24-bit bottom-up DIBs and
// 32-bit device bitmaps in every direction, straight from the DIB's memory.
#include <gtest/gtest.h>

#include <memory>

#include "tests/platform_gdi/dib_probe.h"

namespace platform::test {
namespace {

constexpr Rgb kUntouched = 0x5A5A5A;

// Every source pixel says where it came from.
Rgb SourceColour(int x, int y) { return 0x800000 | static_cast<Rgb>(y) << 8 | static_cast<Rgb>(x); }

struct Surface {
  int bits;  // 24 or 32 for a DIB section, 0 for a device bitmap
  bool bottom_up;
};

const char* Name(const Surface& surface) {
  if (surface.bits == 0) return "device";
  if (surface.bits == 24) return surface.bottom_up ? "dib24 bottom-up" : "dib24 top-down";
  return surface.bottom_up ? "dib32 bottom-up" : "dib32 top-down";
}

constexpr Surface kSurfaces[] = {{0, false}, {24, true}, {24, false}, {32, true}};

// A surface of either kind with its pixels readable and writable: a device bitmap is filled by
// copying from a DIB, since it exposes no pixels of its own.
struct AnySurface {
  AnySurface(const Surface& kind, int width, int height) {
    if (kind.bits != 0) {
      dib = std::make_unique<Dib>(width, height, kind.bits, kind.bottom_up);
      dc = dib->dc;
    } else {
      device = std::make_unique<DeviceBitmap>(width, height);
      dc = device->dc;
    }
  }
  void Paint(int width, int height, Rgb (*colour)(int, int)) {
    Dib picture(width, height, 24, true);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) picture.SetPixel(x, y, colour(x, y));
    }
    ASSERT_TRUE(BitBlt(dc, 0, 0, width, height, picture.dc, 0, 0, SRCCOPY));
  }
  Rgb Pixel(int x, int y) const { return dib ? dib->Pixel(x, y) : PixelOf(dc, x, y).value(); }

  std::unique_ptr<Dib> dib;
  std::unique_ptr<DeviceBitmap> device;
  HDC dc;
};

struct Rect {
  int x, y, width, height, source_x, source_y;
};

// Source 6 x 5, destination 7 x 4: each copy below reaches past some edge of one of them.
constexpr Rect kCopies[] = {
    {0, 0, 6, 4, 0, 0},    // the common part
    {1, 1, 3, 2, 2, 1},    // inside both
    {-2, 0, 5, 3, 0, 0},   // left of the destination
    {0, -3, 4, 6, 1, 0},   // above the destination
    {4, 2, 10, 10, 0, 0},  // past the destination's right and bottom
    {0, 0, 4, 4, -2, -1},  // source begins left of and above its bitmap
    {0, 0, 7, 4, 3, 2},    // source runs past its right and bottom
    {5, 3, 4, 4, -1, -1},  // both
    {0, 0, 0, 3, 0, 0},    // empty
    {8, 0, 3, 3, 0, 0},    // entirely outside the destination
    {0, 0, 3, 3, 6, 0},    // entirely outside the source
};

// What a plain source copy leaves at destination pixel (x, y).
Rgb Expected(const Rect& copy, int x, int y) {
  const int source_x = copy.source_x + x - copy.x;
  const int source_y = copy.source_y + y - copy.y;
  const bool in_rect =
      x >= copy.x && x < copy.x + copy.width && y >= copy.y && y < copy.y + copy.height;
  const bool in_source = source_x >= 0 && source_x < 6 && source_y >= 0 && source_y < 5;
  return in_rect && in_source ? SourceColour(source_x, source_y) : kUntouched;
}

TEST(BitBlt, CopiesExactlyWhatExistsInBothSurfacesForEveryPairOfFormats) {
  for (const Surface& from : kSurfaces) {
    for (const Surface& to : kSurfaces) {
      for (const Rect& copy : kCopies) {
        AnySurface source(from, 6, 5);
        source.Paint(6, 5, SourceColour);
        AnySurface destination(to, 7, 4);
        destination.Paint(7, 4, [](int, int) { return kUntouched; });
        ASSERT_TRUE(BitBlt(destination.dc, copy.x, copy.y, copy.width, copy.height, source.dc,
                           copy.source_x, copy.source_y, SRCCOPY));
        for (int y = 0; y < 4; ++y) {
          for (int x = 0; x < 7; ++x) {
            ASSERT_EQ(destination.Pixel(x, y), Expected(copy, x, y))
                << Name(from) << " to " << Name(to) << ", copy to " << copy.x << "," << copy.y
                << " size " << copy.width << "x" << copy.height << " from " << copy.source_x << ","
                << copy.source_y << ", pixel " << x << "," << y;
          }
        }
      }
    }
  }
}

// Rows long enough for the conversions' sixteen-pixel steps, with every kind of leftover, copied
// between uneven places of the two surfaces.
TEST(BitBlt, ConvertsLongRowsExactlyForEveryPairOfFormats) {
  const auto colour = [](int x, int y) {
    return static_cast<Rgb>((x * 2654435761u) ^ (y * 40503u)) & 0xFFFFFF;
  };
  for (const int width : {15, 16, 17, 33, 47, 100, 613}) {
    for (const Surface& from : kSurfaces) {
      for (const Surface& to : kSurfaces) {
        AnySurface source(from, width + 3, 3);
        source.Paint(width + 3, 3, colour);
        AnySurface destination(to, width + 5, 3);
        destination.Paint(width + 5, 3, [](int, int) { return kUntouched; });
        ASSERT_TRUE(BitBlt(destination.dc, 2, 1, width, 2, source.dc, 3, 0, SRCCOPY));
        for (int y = 0; y < 3; ++y) {
          for (int x = 0; x < width + 5; ++x) {
            const bool copied = x >= 2 && x < width + 2 && y >= 1;
            ASSERT_EQ(destination.Pixel(x, y), copied ? colour(x + 1, y - 1) : kUntouched)
                << Name(from) << " to " << Name(to) << ", width " << width << ", pixel " << x << ","
                << y;
          }
        }
      }
    }
  }
}

TEST(BitBlt, ReadsTheDibMemoryAsItIsNow) {
  Dib dib(4, 4, 24, true);
  DeviceBitmap device(4, 4);
  dib.Fill(0x000000);
  ASSERT_TRUE(BitBlt(device.dc, 0, 0, 4, 4, dib.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(PixelOf(device.dc, 2, 1), 0x000000u);
  // Picture row 1 of a bottom-up 4-row DIB is stored row 2; red is the third byte.
  static_cast<std::uint8_t*>(dib.info.bmBits)[2 * dib.info.bmWidthBytes + 2 * 3 + 2] = 0xFF;
  ASSERT_TRUE(BitBlt(device.dc, 0, 0, 4, 4, dib.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(PixelOf(device.dc, 2, 1), 0xFF0000u);
}

TEST(BitBlt, OverlappingCopiesWithinOneBitmapActAsThroughACopy) {
  struct Shift {
    int dx, dy;
  };
  for (const Surface& kind : kSurfaces) {
    for (const Shift shift : {Shift{1, 0}, Shift{-1, 0}, Shift{0, 1}, Shift{0, -1}, Shift{2, 2}}) {
      AnySurface surface(kind, 6, 5);
      surface.Paint(6, 5, SourceColour);
      ASSERT_TRUE(BitBlt(surface.dc, 1 + shift.dx, 1 + shift.dy, 3, 3, surface.dc, 1, 1, SRCCOPY));
      for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x) {
          const int from_x = x - shift.dx;
          const int from_y = y - shift.dy;
          const bool copied = from_x >= 1 && from_x < 4 && from_y >= 1 && from_y < 4;
          ASSERT_EQ(surface.Pixel(x, y), copied ? SourceColour(from_x, from_y) : SourceColour(x, y))
              << Name(kind) << " shift " << shift.dx << "," << shift.dy << " pixel " << x << ","
              << y;
        }
      }
    }
  }
}

TEST(BitBlt, FailsCleanlyWithoutSomethingToCopy) {
  Dib dib(4, 4, 24, true);
  HDC empty = CreateCompatibleDC(nullptr);
  const auto unknown = reinterpret_cast<HDC>(0x4444);
  EXPECT_FALSE(BitBlt(dib.dc, 0, 0, 4, 4, empty, 0, 0, SRCCOPY)) << "source holds no bitmap";
  EXPECT_FALSE(BitBlt(empty, 0, 0, 4, 4, dib.dc, 0, 0, SRCCOPY)) << "destination holds none";
  EXPECT_FALSE(BitBlt(dib.dc, 0, 0, 4, 4, unknown, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(unknown, 0, 0, 4, 4, dib.dc, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dib.dc, 0, 0, 4, 4, nullptr, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dib.dc, 0, 0, -1, 4, dib.dc, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dib.dc, 0, 0, 4, -1, dib.dc, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dib.dc, 0, 0, 4, 4, dib.dc, 0, 0, 0x00EE0086)) << "only SRCCOPY";
  EXPECT_TRUE(BitBlt(dib.dc, 2147483647, -2147483647 - 1, 2147483647, 2147483647, dib.dc,
                     -2147483647 - 1, 2147483647, SRCCOPY))
      << "extreme coordinates clip to nothing";
  DeleteDC(empty);
}

}  // namespace
}  // namespace platform::test
