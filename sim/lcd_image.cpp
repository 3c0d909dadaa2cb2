// Drawing on the simulated LCD, and the unit's own 5 x 7 font.
#include "sim/lcd_image.h"

#include <cctype>

namespace sim {
namespace {

constexpr int GlyphColumns = 5;
constexpr int GlyphRows = 7;
constexpr int GlyphAdvance = GlyphColumns + 1;

// Each glyph as its seven rows, top first, '#' lit; rows separated by '|'.
struct Glyph {
  char character;
  const char* rows;
};

constexpr Glyph Font[] = {
    {' ', ".....|.....|.....|.....|.....|.....|....."},
    {'0', ".###.|#...#|#..##|#.#.#|##..#|#...#|.###."},
    {'1', "..#..|.##..|..#..|..#..|..#..|..#..|.###."},
    {'2', ".###.|#...#|....#|...#.|..#..|.#...|#####"},
    {'3', "#####|...#.|..#..|...#.|....#|#...#|.###."},
    {'4', "...#.|..##.|.#.#.|#..#.|#####|...#.|...#."},
    {'5', "#####|#....|####.|....#|....#|#...#|.###."},
    {'6', "..##.|.#...|#....|####.|#...#|#...#|.###."},
    {'7', "#####|....#|...#.|..#..|.#...|.#...|.#..."},
    {'8', ".###.|#...#|#...#|.###.|#...#|#...#|.###."},
    {'9', ".###.|#...#|#...#|.####|....#|...#.|.##.."},
    {'A', ".###.|#...#|#...#|#####|#...#|#...#|#...#"},
    {'B', "####.|#...#|#...#|####.|#...#|#...#|####."},
    {'C', ".###.|#...#|#....|#....|#....|#...#|.###."},
    {'D', "###..|#..#.|#...#|#...#|#...#|#..#.|###.."},
    {'E', "#####|#....|#....|####.|#....|#....|#####"},
    {'F', "#####|#....|#....|####.|#....|#....|#...."},
    {'G', ".###.|#...#|#....|#.###|#...#|#...#|.####"},
    {'H', "#...#|#...#|#...#|#####|#...#|#...#|#...#"},
    {'I', ".###.|..#..|..#..|..#..|..#..|..#..|.###."},
    {'J', "..###|...#.|...#.|...#.|...#.|#..#.|.##.."},
    {'K', "#...#|#..#.|#.#..|##...|#.#..|#..#.|#...#"},
    {'L', "#....|#....|#....|#....|#....|#....|#####"},
    {'M', "#...#|##.##|#.#.#|#.#.#|#...#|#...#|#...#"},
    {'N', "#...#|#...#|##..#|#.#.#|#..##|#...#|#...#"},
    {'O', ".###.|#...#|#...#|#...#|#...#|#...#|.###."},
    {'P', "####.|#...#|#...#|####.|#....|#....|#...."},
    {'Q', ".###.|#...#|#...#|#...#|#.#.#|#..#.|.##.#"},
    {'R', "####.|#...#|#...#|####.|#.#..|#..#.|#...#"},
    {'S', ".####|#....|#....|.###.|....#|....#|####."},
    {'T', "#####|..#..|..#..|..#..|..#..|..#..|..#.."},
    {'U', "#...#|#...#|#...#|#...#|#...#|#...#|.###."},
    {'V', "#...#|#...#|#...#|#...#|#...#|.#.#.|..#.."},
    {'W', "#...#|#...#|#...#|#.#.#|#.#.#|#.#.#|.#.#."},
    {'X', "#...#|#...#|.#.#.|..#..|.#.#.|#...#|#...#"},
    {'Y', "#...#|#...#|.#.#.|..#..|..#..|..#..|..#.."},
    {'Z', "#####|....#|...#.|..#..|.#...|#....|#####"},
    {'.', ".....|.....|.....|.....|.....|.##..|.##.."},
    {',', ".....|.....|.....|.....|.##..|..#..|.#..."},
    {':', ".....|.##..|.##..|.....|.##..|.##..|....."},
    {'-', ".....|.....|.....|#####|.....|.....|....."},
    {'+', ".....|..#..|..#..|#####|..#..|..#..|....."},
    {'=', ".....|.....|#####|.....|#####|.....|....."},
    {'/', ".....|....#|...#.|..#..|.#...|#....|....."},
    {'%', "##...|##..#|...#.|..#..|.#...|#..##|...##"},
    {'<', "...#.|..#..|.#...|#....|.#...|..#..|...#."},
    {'>', ".#...|..#..|...#.|....#|...#.|..#..|.#..."},
    {'\'', "..#..|..#..|.#...|.....|.....|.....|....."},
    {'!', "..#..|..#..|..#..|..#..|..#..|.....|..#.."},
    {'?', ".###.|#...#|....#|...#.|..#..|.....|..#.."},
    {'(', "...#.|..#..|.#...|.#...|.#...|..#..|...#."},
    {')', ".#...|..#..|...#.|...#.|...#.|..#..|.#..."},
    {'*', ".....|..#..|#.#.#|.###.|#.#.#|..#..|....."},
    {'#', ".#.#.|.#.#.|#####|.#.#.|#####|.#.#.|.#.#."},
    {'&', ".##..|#..#.|#.#..|.#...|#.#.#|#..#.|.##.#"},
    {'_', ".....|.....|.....|.....|.....|.....|#####"},
};

const Glyph& FindGlyph(char character) {
  const char wanted = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
  for (const Glyph& glyph : Font) {
    if (glyph.character == wanted) return glyph;
  }
  return FindGlyph('?');
}

bool GlyphPixel(const Glyph& glyph, int column, int row) {
  return glyph.rows[row * (GlyphColumns + 1) + column] == '#';
}

bool Inside(int x, int y) { return x >= 0 && x < LcdWidth && y >= 0 && y < LcdHeight; }

}  // namespace

bool LcdPixel(const LcdImage& image, int x, int y) {
  return Inside(x, y) && (image.pages[y / 8][x] >> (y % 8) & 1) != 0;
}

void SetLcdPixel(LcdImage* image, int x, int y, bool lit) {
  if (!Inside(x, y)) return;
  const std::uint8_t bit = static_cast<std::uint8_t>(1u << (y % 8));
  std::uint8_t& byte = image->pages[y / 8][x];
  byte = lit ? static_cast<std::uint8_t>(byte | bit) : static_cast<std::uint8_t>(byte & ~bit);
}

void FillLcdRect(LcdImage* image, int x, int y, int width, int height, bool lit) {
  for (int row = y; row < y + height; ++row) {
    for (int column = x; column < x + width; ++column) SetLcdPixel(image, column, row, lit);
  }
}

void InvertLcdRect(LcdImage* image, int x, int y, int width, int height) {
  for (int row = y; row < y + height; ++row) {
    for (int column = x; column < x + width; ++column) {
      SetLcdPixel(image, column, row, !LcdPixel(*image, column, row));
    }
  }
}

void FrameLcdRect(LcdImage* image, int x, int y, int width, int height) {
  FillLcdRect(image, x, y, width, 1, true);
  FillLcdRect(image, x, y + height - 1, width, 1, true);
  FillLcdRect(image, x, y, 1, height, true);
  FillLcdRect(image, x + width - 1, y, 1, height, true);
}

int DrawLcdText(LcdImage* image, int x, int y, const std::string& text, int scale, int clip_left,
                int clip_right) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Glyph& glyph = FindGlyph(text[i]);
    const int left = x + static_cast<int>(i) * GlyphAdvance * scale;
    for (int row = 0; row < GlyphRows * scale; ++row) {
      for (int column = 0; column < GlyphColumns * scale; ++column) {
        const int px = left + column;
        if (px < clip_left || px >= clip_right) continue;
        if (GlyphPixel(glyph, column / scale, row / scale)) SetLcdPixel(image, px, y + row, true);
      }
    }
  }
  return LcdTextWidth(text, scale);
}

int LcdTextWidth(const std::string& text, int scale) {
  return text.empty() ? 0 : (static_cast<int>(text.size()) * GlyphAdvance - 1) * scale;
}

}  // namespace sim
