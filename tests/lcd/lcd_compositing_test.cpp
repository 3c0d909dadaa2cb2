// LCD compositing on real 24-bit bottom-up DIB sections: which canvas pixels each LCD pixel
// lights, in which colour, that every other covered pixel is the backdrop's, that a rendering
// refused for mismatching surfaces leaves the canvas alone, and that rendering only the rows that
// changed leaves the canvas as a whole rendering would.
#include "lcd/lcd_compositing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/panel_state.h"
#include "tests/platform_gdi/dib_probe.h"

namespace {

using platform::test::Dib;
using platform::test::Rgb;

constexpr Rgb Red = 0xFF1400;
// What the canvas holds before a rendering, so that a pixel it did not write shows.
constexpr Rgb Untouched = 0x5A5A5A;

struct LitPixel {
  int x, y;
};

enum class Rendering { FullDotted, FullSolid, Compact };

std::string NameOf(Rendering rendering) {
  switch (rendering) {
    case Rendering::FullDotted:
      return "full panel, dotted";
    case Rendering::FullSolid:
      return "full panel, solid";
    case Rendering::Compact:
      return "compact view";
  }
  return "";
}

BOOL Render(Rendering rendering) {
  if (rendering == Rendering::Compact) return CompositeLcdCompact();
  Panel.LcdFillStyle = rendering == Rendering::FullSolid ? 1 : 0;
  return CompositeLcdFull();
}

// A backdrop in which neighbouring pixels differ, so a pixel taken from the wrong place shows.
Rgb BackdropPixel(int x, int y) {
  return static_cast<Rgb>((x * 7 + y * 3) & 0xFF) << 16 | static_cast<Rgb>(x & 0xFF) << 8 |
         static_cast<Rgb>(y & 0xFF);
}

void Light(int m, int c) {
  Panel.LcdPixelMatrix[m][c] = 255;
  Panel.LcdRowWritten[m] = true;
}

class CompositingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPanelState();
    Attach(800, 480);
  }

  void TearDown() override {
    // The surfaces go before the record forgets them.
    Panel.LcdBackdropDib = nullptr;
    Panel.LcdCanvasDib = nullptr;
  }

  // Two surfaces as start-up makes them, with their headers kept in the record.
  void Attach(int width, int height) {
    Panel.LcdBackdropDib = nullptr;
    Panel.LcdCanvasDib = nullptr;
    backdrop_ = std::make_unique<Dib>(width, height, 24, true);
    canvas_ = std::make_unique<Dib>(width, height, 24, true);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) backdrop_->SetPixel(x, y, BackdropPixel(x, y));
    }
    canvas_->Fill(Untouched);
    Panel.LcdBackdropDib = backdrop_->bitmap;
    Panel.LcdCanvasDib = canvas_->bitmap;
    Panel.LcdBackdropHeader = backdrop_->info;
    Panel.LcdCanvasHeader = canvas_->info;
  }

  std::vector<Rgb> CanvasPixels() const {
    std::vector<Rgb> pixels;
    for (int y = 0; y < canvas_->info.bmHeight; ++y) {
      for (int x = 0; x < canvas_->info.bmWidth; ++x) pixels.push_back(canvas_->Pixel(x, y));
    }
    return pixels;
  }

  std::vector<std::uint8_t> CanvasBytes() const {
    const auto* bits = static_cast<const std::uint8_t*>(canvas_->info.bmBits);
    return std::vector<std::uint8_t>(
        bits, bits + static_cast<std::size_t>(canvas_->info.bmWidthBytes) * canvas_->info.bmHeight);
  }

  // Every canvas pixel against expected(x, y); the first few differences, or "" when none.
  std::string Differences(const std::function<Rgb(int, int)>& expected) const {
    std::ostringstream report;
    int differences = 0;
    for (int y = 0; y < canvas_->info.bmHeight; ++y) {
      for (int x = 0; x < canvas_->info.bmWidth; ++x) {
        const Rgb want = expected(x, y);
        const Rgb got = canvas_->Pixel(x, y);
        if (got == want) continue;
        if (++differences <= 5) {
          report << std::hex << "(" << std::dec << x << ", " << y << ") is " << std::hex << got
                 << ", expected " << want << "; ";
        }
      }
    }
    if (differences > 5) report << std::dec << differences << " pixels differ";
    return report.str();
  }

  // The canvas as a rendering should leave it with exactly the given pixels lit: the top 14
  // rows of the full panel untouched, every other pixel the backdrop's.
  std::string DifferencesFromLit(Rendering rendering, const std::vector<LitPixel>& lit,
                                 Rgb colour) const {
    return Differences([&](int x, int y) {
      for (const LitPixel& pixel : lit) {
        if (pixel.x == x && pixel.y == y) return colour;
      }
      if (rendering != Rendering::Compact && y < 14) return Untouched;
      return BackdropPixel(x, y);
    });
  }

  std::unique_ptr<Dib> backdrop_;
  std::unique_ptr<Dib> canvas_;
};

TEST_F(CompositingTest, AllDarkMatrixCopiesTheBackdropWhereTheRenderingReaches) {
  for (Rendering rendering : {Rendering::FullDotted, Rendering::FullSolid, Rendering::Compact}) {
    SCOPED_TRACE(NameOf(rendering));
    canvas_->Fill(Untouched);
    ASSERT_EQ(Render(rendering), 1);
    EXPECT_EQ(DifferencesFromLit(rendering, {}, Red), "");
  }
}

struct SinglePixelCase {
  const char* name;
  Rendering rendering;
  int m, c;
  std::vector<LitPixel> lit;
};

TEST_F(CompositingTest, OneLitLcdPixelLightsItsPlaceOnly) {
  const SinglePixelCase cases[] = {
      {"dotted: the single point (2c, 2m + 3)", Rendering::FullDotted, 20, 50, {{100, 43}}},
      {"solid: the 2 x 2 block",
       Rendering::FullSolid,
       20,
       50,
       {{100, 43}, {101, 43}, {100, 44}, {101, 44}}},
      {"solid, last matrix row and column",
       Rendering::FullSolid,
       129,
       339,
       {{678, 261}, {679, 261}, {678, 262}, {679, 262}}},
      {"solid, row 5 is cut by the untouched top rows",
       Rendering::FullSolid,
       5,
       3,
       {{6, 14}, {7, 14}}},
      {"dotted, row 5 falls in the untouched top rows", Rendering::FullDotted, 5, 3, {}},
      {"full panel, row 0 is never drawn", Rendering::FullSolid, 0, 0, {}},
      {"compact: natural size 13 rows up", Rendering::Compact, 20, 50, {{50, 7}}},
      {"compact, first shown row", Rendering::Compact, 13, 0, {{0, 0}}},
      {"compact, last matrix row and column", Rendering::Compact, 129, 339, {{339, 116}}},
      {"compact, rows 0 to 12 are never shown", Rendering::Compact, 12, 100, {}},
  };
  for (const SinglePixelCase& test : cases) {
    SCOPED_TRACE(test.name);
    std::memset(Panel.LcdPixelMatrix, 0, sizeof Panel.LcdPixelMatrix);
    canvas_->Fill(Untouched);
    Light(test.m, test.c);
    ASSERT_EQ(Render(test.rendering), 1);
    EXPECT_EQ(DifferencesFromLit(test.rendering, test.lit, Red), "");
  }
}

// The whole picture rule at once, on a random matrix: the full panel shows M[(y - 3) / 2][x / 2]
// at (x, y) from row 14 on (dotted: only at even x and odd y); the compact view shows M[y + 13][x]
// for x below 400 and y below 227.
TEST_F(CompositingTest, RandomMatrixFollowsThePictureRule) {
  std::mt19937 random(20240301);
  for (auto& row : Panel.LcdPixelMatrix) {
    for (std::uint8_t& pixel : row) pixel = random() % 3 == 0 ? 255 : 0;
  }
  const auto lit = [](int m, int c) {
    return m < LcdMatrixRows && c < LcdMatrixColumns && Panel.LcdPixelMatrix[m][c] != 0;
  };
  for (Rendering rendering : {Rendering::FullDotted, Rendering::FullSolid, Rendering::Compact}) {
    SCOPED_TRACE(NameOf(rendering));
    canvas_->Fill(Untouched);
    ASSERT_EQ(Render(rendering), 1);
    EXPECT_EQ(Differences([&](int x, int y) {
                if (rendering == Rendering::Compact) {
                  return y < 227 && x < 400 && lit(y + 13, x) ? Red : BackdropPixel(x, y);
                }
                if (y < 14) return Untouched;
                const bool shown = rendering == Rendering::FullSolid || (x % 2 == 0 && y % 2 == 1);
                return shown && lit((y - 3) / 2, x / 2) ? Red : BackdropPixel(x, y);
              }),
              "");
  }
}

TEST_F(CompositingTest, CompactColourFollowsTheIndexAndFallsBackToRed) {
  const struct {
    std::int32_t index;
    Rgb colour;
  } cases[] = {
      {0, Red}, {1, 0x0032FF}, {2, 0x505050}, {3, 0x50FF64}, {4, 0x5032FF}, {5, Red}, {-1, Red},
  };
  Light(60, 200);
  for (const auto& test : cases) {
    SCOPED_TRACE(test.index);
    Panel.LcdColourIndex = test.index;
    canvas_->Fill(Untouched);
    ASSERT_EQ(CompositeLcdCompact(), 1);
    EXPECT_EQ(DifferencesFromLit(Rendering::Compact, {{200, 47}}, test.colour), "");
  }
}

struct RefusalCase {
  const char* name;
  std::function<void()> spoil;
};

TEST_F(CompositingTest, RefusedRenderingLeavesTheCanvasUntouched) {
  const RefusalCase cases[] = {
      {"backdrop of another depth", [] { Panel.LcdBackdropHeader.bmBitsPixel = 32; }},
      {"backdrop of another width", [] { Panel.LcdBackdropHeader.bmWidth = 801; }},
      {"backdrop of another height", [] { Panel.LcdBackdropHeader.bmHeight = 479; }},
      {"both surfaces 32-bit",
       [] { Panel.LcdBackdropHeader.bmBitsPixel = Panel.LcdCanvasHeader.bmBitsPixel = 32; }},
      {"backdrop without pixels", [] { Panel.LcdBackdropHeader.bmBits = nullptr; }},
      {"canvas without pixels", [] { Panel.LcdCanvasHeader.bmBits = nullptr; }},
      {"surfaces released at shut-down",
       [] { Panel.LcdBackdropDib = Panel.LcdCanvasDib = nullptr; }},
  };
  for (int m = 0; m < LcdMatrixRows; ++m) Light(m, m);
  for (const RefusalCase& test : cases) {
    for (Rendering rendering : {Rendering::FullDotted, Rendering::FullSolid, Rendering::Compact}) {
      SCOPED_TRACE(std::string(test.name) + ", " + NameOf(rendering));
      Attach(800, 480);
      test.spoil();
      const std::vector<std::uint8_t> before = CanvasBytes();
      EXPECT_EQ(Render(rendering), 0);
      EXPECT_TRUE(CanvasBytes() == before);
    }
  }
}

TEST_F(CompositingTest, FullPanelOnAShortCanvasWritesBelowRow14Only) {
  for (int m = 0; m < LcdMatrixRows; ++m) {
    for (int c = 0; c < LcdMatrixColumns; ++c) Light(m, c);
  }
  Attach(40, 14);
  EXPECT_EQ(Render(Rendering::FullSolid), 1);
  EXPECT_EQ(DifferencesFromLit(Rendering::FullSolid, {}, Red), "");

  // The one row below the untouched 14 shows matrix row (15 - 4) / 2 = 5, all lit.
  Attach(40, 15);
  EXPECT_EQ(Render(Rendering::FullSolid), 1);
  EXPECT_EQ(Differences([](int, int y) { return y < 14 ? Untouched : Red; }), "");
}

struct MatrixChange {
  const char* name;
  std::function<void()> change;
};

void SetMatrix(int m, int c, bool lit) {
  Panel.LcdPixelMatrix[m][c] = lit ? 255 : 0;
  Panel.LcdRowWritten[m] = true;
}

void FlipMatrix(int m, int c) { SetMatrix(m, c, Panel.LcdPixelMatrix[m][c] == 0); }

// Each change in turn, after a whole rendering of a random matrix: the rows rendered again make
// the canvas equal to a whole rendering of the changed matrix, every canvas pixel that changed
// lies in a rectangle reported, and a matrix as it was renders and reports nothing.
TEST_F(CompositingTest, RenderingTheChangedRowsEqualsAWholeRendering) {
  std::mt19937 random(7);
  const auto coin = [&random] { return random() % 2 == 0; };
  const MatrixChange changes[] = {
      {"nothing", [] {}},
      {"a text line, rows 40 to 55",
       [&] {
         for (int m = 40; m < 56; ++m) {
           for (int c = 8; c < 300; ++c) SetMatrix(m, c, coin());
         }
       }},
      {"two pixels far apart",
       [] {
         FlipMatrix(7, 3);
         FlipMatrix(120, 330);
       }},
      {"the last row and column", [] { FlipMatrix(129, 339); }},
      {"rows that neither view shows",
       [] {
         for (int c = 0; c < LcdMatrixColumns; ++c) FlipMatrix(2, c);
       }},
      {"every pixel",
       [] {
         for (int m = 0; m < LcdMatrixRows; ++m) {
           for (int c = 0; c < LcdMatrixColumns; ++c) FlipMatrix(m, c);
         }
       }},
      {"rows written again with what they held",
       [] {
         for (int m = 30; m < 38; ++m) SetMatrix(m, 5, Panel.LcdPixelMatrix[m][5] != 0);
       }},
      {"nothing again", [] {}},
  };
  for (Rendering rendering : {Rendering::FullDotted, Rendering::FullSolid, Rendering::Compact}) {
    for (auto& row : Panel.LcdPixelMatrix) {
      for (std::uint8_t& pixel : row) pixel = coin() ? 255 : 0;
    }
    canvas_->Fill(Untouched);
    ASSERT_EQ(Render(rendering), 1);
    for (const MatrixChange& change : changes) {
      SCOPED_TRACE(NameOf(rendering) + ", " + change.name);
      const std::vector<Rgb> before = CanvasPixels();
      change.change();
      const std::vector<RECT> rewritten = CompositeLcdChanges();
      const std::vector<Rgb> after = CanvasPixels();
      ASSERT_EQ(Render(rendering), 1);
      EXPECT_TRUE(CanvasPixels() == after) << "differs from a whole rendering";
      const int width = canvas_->info.bmWidth;
      for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i] == before[i]) continue;
        const int x = static_cast<int>(i) % width, y = static_cast<int>(i) / width;
        const bool reported = std::any_of(rewritten.begin(), rewritten.end(), [&](const RECT& r) {
          return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        });
        ASSERT_TRUE(reported) << "(" << x << ", " << y << ") changed outside the rectangles";
      }
      if (after == before) {
        EXPECT_TRUE(rewritten.empty());
      }
    }
  }
}

TEST_F(CompositingTest, CanvasHoldsTheRenderingAndPreferenceItWasMadeWith) {
  EXPECT_EQ(LcdCanvasHolds(FullPanelLcdRendering), 0) << "nothing rendered yet";
  Light(60, 200);
  ASSERT_EQ(Render(Rendering::FullDotted), 1);
  EXPECT_EQ(LcdCanvasHolds(FullPanelLcdRendering), 1);
  EXPECT_EQ(LcdCanvasHolds(CompactLcdRendering), 0);
  Panel.LcdFillStyle = 1;
  EXPECT_EQ(LcdCanvasHolds(FullPanelLcdRendering), 0) << "solid style asked";

  // A canvas that holds another rendering is left alone.
  Light(61, 200);
  const std::vector<std::uint8_t> before = CanvasBytes();
  EXPECT_TRUE(CompositeLcdChanges().empty());
  EXPECT_TRUE(CanvasBytes() == before);

  Panel.LcdColourIndex = 2;
  ASSERT_EQ(Render(Rendering::Compact), 1);
  EXPECT_EQ(LcdCanvasHolds(CompactLcdRendering), 1);
  Panel.LcdColourIndex = 3;
  EXPECT_EQ(LcdCanvasHolds(CompactLcdRendering), 0) << "another colour asked";
  Panel.LcdCanvasDib = nullptr;
  Panel.LcdColourIndex = 2;
  EXPECT_EQ(LcdCanvasHolds(CompactLcdRendering), 0) << "surfaces released";
}

}  // namespace
