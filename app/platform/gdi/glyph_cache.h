// Fonts for DrawTextW: fontconfig resolves the LOGFONTW's face name, FreeType renders anti-aliased
// glyphs sized as GDI sizes them, and every rendered glyph is kept for the next line.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win32.h"

namespace platform::gdi {

struct Glyph {
  int left;  // from the pen position to the first column
  int top;   // from the baseline up to the first row
  int width;
  int height;
  int advance;                         // whole pixels, as GDI advances
  std::vector<std::uint8_t> coverage;  // width x height, 0 to 255
};

struct SizedFont;

// The font for a LOGFONTW, or null when no face can be loaded. Stays valid until the next call
// of SizedFontFor; the GDI lock must be held.
SizedFont* SizedFontFor(const LOGFONTW& logfont);
// The cell: its height in pixels, and the baseline's distance from the cell's top.
int CellHeight(const SizedFont& font);
int Ascent(const SizedFont& font);
// The rendered glyph of a character (the face's missing-glyph box when it has none).
const Glyph& GlyphOf(SizedFont& font, char32_t character);

}  // namespace platform::gdi
