// DrawTextW: where the text lands (centred, top-aligned, clipped), how large it is (GDI's cell
// height and classic average width), and its colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/platform_gdi/dib_probe.h"

namespace platform::test {
namespace {

constexpr Rgb kPaper = 0x2040C0;

LOGFONTW ClockFont(LONG height = 26, LONG width = 10) {
  LOGFONTW logfont{};
  logfont.lfHeight = height;
  logfont.lfWidth = width;
  logfont.lfWeight = 200;
  logfont.lfCharSet = 1;
  logfont.lfQuality = 4;
  logfont.lfPitchAndFamily = 2;
  std::u16string face = u"Arial";
  std::copy(face.begin(), face.end(), logfont.lfFaceName);
  return logfont;
}

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // right and bottom exclusive
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// Where the picture differs from the paper.
Box Marked(const Dib& dib) {
  Box box;
  for (int y = 0; y < dib.info.bmHeight; ++y) {
    for (int x = 0; x < dib.info.bmWidth; ++x) {
      if (dib.Pixel(x, y) == kPaper) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x + 1);
      box.bottom = std::max(box.bottom, y + 1);
    }
  }
  return box;
}

// Draws with a font selected the way the program does it, and restores the context.
int Draw(Dib& dib, const LOGFONTW& logfont, const std::u16string& text, RECT rect,
         UINT format = DT_CENTER) {
  HFONT font = CreateFontIndirectW(&logfont);
  const HGDIOBJ previous = SelectObject(dib.dc, font);
  const int height = DrawTextW(dib.dc, text.c_str(), -1, &rect, format);
  SelectObject(dib.dc, previous);
  DeleteObject(font);
  return height;
}

TEST(DrawText, ClockLineIsCentredInItsRectangleAndAlignedToTheTop) {
  Dib dib(800, 480, 24, true);
  dib.Fill(kPaper);
  SetBkColor(dib.dc, RGB(0, 0, 0));
  SetTextColor(dib.dc, RGB(0x80, 0x80, 0x80));
  const int height = Draw(dib, ClockFont(), u"  Dec.7 Mon am 9:05  ", RECT{240, 447, 558, 477});
  EXPECT_EQ(height, 26);
  // The opaque background marks the text cells: 26 rows from the rectangle's top.
  const Box box = Marked(dib);
  EXPECT_EQ(box.top, 447);
  EXPECT_EQ(box.Height(), 26);
  EXPECT_LE(std::abs((box.left - 240) - (558 - box.right)), 1) << box.left << ".." << box.right;
  EXPECT_EQ(dib.Pixel(box.left, 447), 0x000000u) << "background colour";
  int grey = 0;
  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) grey += dib.Pixel(x, y) == 0x808080;
  }
  EXPECT_GT(grey, 20) << "fully covered pixels take the text colour";
}

TEST(DrawText, CellHeightIsLfHeightOrTheEmForANegativeOne) {
  struct Case {
    LONG lf_height;
    int cell;
  };
  // Liberation Sans (Arial's metric twin): winAscent + winDescent = 2288 of 2048 units per em.
  for (const Case c : {Case{16, 16}, Case{26, 26}, Case{40, 40}, Case{-20, 22}, Case{-32, 36}}) {
    Dib dib(300, 100, 24, true);
    dib.Fill(kPaper);
    SetBkColor(dib.dc, RGB(0, 0, 0));
    EXPECT_EQ(Draw(dib, ClockFont(c.lf_height, 0), u"Hg", RECT{0, 10, 300, 100}), c.cell);
    EXPECT_EQ(Marked(dib).Height(), c.cell) << c.lf_height;
  }
}

// The classic average: lower-case letters and the space weighted by their frequency in English,
// per 1000 characters. GDI makes this average equal lfWidth.
constexpr int kWeights[27] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6,  35, 20, 56,
                              56, 17, 4,  49, 56,  71, 31, 10, 18, 3, 18, 2,  166};

TEST(DrawText, WeightedAverageAdvanceIsLfWidth) {
  for (LONG width : {6, 10, 17, 40}) {
    double sum = 0;
    for (int i = 0; i < 27; ++i) {
      Dib dib(200, 100, 24, true);
      dib.Fill(kPaper);
      SetBkColor(dib.dc, RGB(0, 0, 0));
      const std::u16string letter(1, i < 26 ? static_cast<char16_t>(u'a' + i) : u' ');
      Draw(dib, ClockFont(26, width), letter, RECT{0, 0, 200, 100}, 0);
      sum += kWeights[i] * Marked(dib).Width();
    }
    // Whole-pixel advances: each letter's is within half a pixel of its exact width.
    EXPECT_NEAR(sum / 1000, width, 0.5) << "lfWidth " << width;
  }
}

TEST(DrawText, TransparentModeLeavesTheBackgroundAndTextTakesItsColour) {
  Dib dib(200, 60, 24, true);
  dib.Fill(kPaper);
  SetBkMode(dib.dc, TRANSPARENT);
  SetTextColor(dib.dc, RGB(255, 0, 0));
  Draw(dib, ClockFont(40, 0), u"IIII", RECT{0, 0, 200, 60});
  int red = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 200; ++x) {
      const Rgb pixel = dib.Pixel(x, y);
      red += pixel == 0xFF0000;
      // Anti-aliased edges mix the two colours; nothing else appears.
      const int r = pixel >> 16, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
      ASSERT_GE(r, 0x20);
      ASSERT_LE(g, 0x40);
      ASSERT_LE(b, 0xC0);
      ASSERT_NEAR(b, 3 * g, 3) << "on the line from paper to red";
    }
  }
  EXPECT_GT(red, 40);
}

TEST(DrawText, LeftAlignedWithoutDtCenterAndClippedToTheRectangle) {
  Dib dib(300, 100, 24, true);
  dib.Fill(kPaper);
  SetBkColor(dib.dc, RGB(0, 0, 0));
  Draw(dib, ClockFont(40, 0), u"Wide wide wide wide", RECT{20, 30, 120, 50}, 0);
  const Box box = Marked(dib);
  EXPECT_EQ(box.left, 20);
  EXPECT_EQ(box.top, 30);
  EXPECT_EQ(box.right, 120);
  EXPECT_EQ(box.bottom, 50);
}

TEST(DrawText, BreaksLinesAtLineEnds) {
  Dib dib(300, 100, 24, true);
  dib.Fill(kPaper);
  EXPECT_EQ(Draw(dib, ClockFont(20, 0), u"one\r\ntwo\nthree", RECT{0, 0, 300, 100}), 60);
  EXPECT_EQ(Marked(dib).Height(), 60);
}

TEST(DrawText, RefusesWhatItCannotDraw) {
  Dib dib(10, 10, 24, true);
  RECT rect{0, 0, 10, 10};
  HDC empty = CreateCompatibleDC(nullptr);
  EXPECT_EQ(DrawTextW(empty, u"x", -1, &rect, DT_CENTER), 0) << "no bitmap";
  EXPECT_EQ(DrawTextW(reinterpret_cast<HDC>(0x5555), u"x", -1, &rect, DT_CENTER), 0);
  EXPECT_EQ(DrawTextW(dib.dc, nullptr, -1, &rect, DT_CENTER), 0);
  EXPECT_EQ(DrawTextW(dib.dc, u"x", -1, nullptr, DT_CENTER), 0);
  EXPECT_EQ(DrawTextW(dib.dc, u"x", -2, &rect, DT_CENTER), 0);
  RECT far_away{-2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647};
  EXPECT_GT(DrawTextW(dib.dc, u"x", -1, &far_away, DT_CENTER), 0);
  DeleteDC(empty);
}

}  // namespace
}  // namespace platform::test
