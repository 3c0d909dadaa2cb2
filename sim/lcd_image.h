// The simulated unit's LCD: 320 x 120 monochrome pixels in display memory pages, the layout the
// controller streams: page p holds rows 8p to 8p + 7, one byte per column, bit b = row 8p + b.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

constexpr int LcdWidth = 320;
constexpr int LcdHeight = 120;
constexpr int LcdPages = LcdHeight / 8;

struct LcdImage {
  std::uint8_t pages[LcdPages][LcdWidth] = {};
};

bool LcdPixel(const LcdImage& image, int x, int y);
void SetLcdPixel(LcdImage* image, int x, int y, bool lit);
void FillLcdRect(LcdImage* image, int x, int y, int width, int height, bool lit);
void InvertLcdRect(LcdImage* image, int x, int y, int width, int height);
void FrameLcdRect(LcdImage* image, int x, int y, int width, int height);

// Text in the unit's own 5 x 7 font, each glyph scaled by `scale` and advanced by 6 x scale.
// Lower case shows as upper case; characters without a glyph show as '?'. Pixels outside
// [clip_left, clip_right) are left alone, for the scrolling line. Returns the width drawn.
int DrawLcdText(LcdImage* image, int x, int y, const std::string& text, int scale = 1,
                int clip_left = 0, int clip_right = LcdWidth);
int LcdTextWidth(const std::string& text, int scale = 1);

}  // namespace sim
