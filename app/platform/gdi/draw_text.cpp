// DrawTextW: lines broken at CR and LF, each placed at the rectangle's left or centred in it
// (DT_CENTER), the first at the rectangle's top, all clipped to the rectangle. In the opaque
// background mode the text cells are first filled with the background colour.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/gdi/drawing_pixels.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/glyph_cache.h"
#include "platform/gdi/text_extent.h"
#include "platform/gdi/window_mirrors.h"
#include "platform/internal/rects.h"

namespace platform {
namespace gdi {
namespace {

// Colours arrive as 0x00BBGGRR; pixels store blue, green, red in their first three bytes.
struct Colour {
  std::uint8_t blue, green, red;
};

Colour ColourOf(COLORREF colour) {
  return Colour{static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
                static_cast<std::uint8_t>(colour)};
}

std::vector<std::u32string> Lines(LPCWSTR text, int count) {
  std::vector<std::u32string> lines(1);
  for (int i = 0; count < 0 ? text[i] != 0 : i < count; ++i) {
    char32_t character = text[i];
    const bool pair_follows = count < 0 ? text[i + 1] != 0 : i + 1 < count;
    if (character >= 0xD800 && character < 0xDC00 && pair_follows && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      character = 0x10000 + ((character - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (character == U'\r' || character == U'\n') {
      // CR LF is one break.
      if (character == U'\r' && pair_follows && text[i + 1] == u'\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += character;
    }
  }
  return lines;
}

// Coordinates beyond this are pulled in, so that centring and clipping stay in range.
constexpr LONG kFarthestCoordinate = LONG{1} << 24;

RECT Clamped(const RECT& rect) {
  const auto clamp = [](LONG value) {
    return std::clamp(value, -kFarthestCoordinate, kFarthestCoordinate);
  };
  return RECT{clamp(rect.left), clamp(rect.top), clamp(rect.right), clamp(rect.bottom)};
}

void Fill(const Pixels& pixels, const RECT& area, Colour colour) {
  for (LONG y = area.top; y < area.bottom; ++y) {
    for (LONG x = area.left; x < area.right; ++x) {
      std::uint8_t* pixel = PixelAddress(pixels, x, y);
      pixel[0] = colour.blue;
      pixel[1] = colour.green;
      pixel[2] = colour.red;
    }
  }
}

std::uint8_t Mix(std::uint8_t under, std::uint8_t over, unsigned coverage) {
  return static_cast<std::uint8_t>((over * coverage + under * (255 - coverage) + 127) / 255);
}

void Blend(const Pixels& pixels, const Glyph& glyph, int left, int top, const RECT& clip,
           Colour colour) {
  const RECT area = RectIntersection(RECT{left, top, left + glyph.width, top + glyph.height}, clip);
  for (LONG y = area.top; y < area.bottom; ++y) {
    const std::uint8_t* coverage =
        glyph.coverage.data() + static_cast<std::size_t>(y - top) * glyph.width;
    for (LONG x = area.left; x < area.right; ++x) {
      const unsigned alpha = coverage[x - left];
      if (alpha == 0) continue;
      std::uint8_t* pixel = PixelAddress(pixels, x, y);
      pixel[0] = Mix(pixel[0], colour.blue, alpha);
      pixel[1] = Mix(pixel[1], colour.green, alpha);
      pixel[2] = Mix(pixel[2], colour.red, alpha);
    }
  }
}

int LineWidth(SizedFont& font, const std::u32string& line) {
  int width = 0;
  for (char32_t character : line) width += GlyphOf(font, character).advance;
  return width;
}

}  // namespace

bool TextExtent(const LOGFONTW& logfont, LPCWSTR text, int* width, int* height) {
  if (!text) return false;
  const std::vector<std::u32string> lines = Lines(text, -1);
  std::lock_guard<std::mutex> hold(GdiLock());
  SizedFont* font = SizedFontFor(logfont);
  if (!font) return false;
  *width = 0;
  for (const std::u32string& line : lines) *width = std::max(*width, LineWidth(*font, line));
  *height = CellHeight(*font) * static_cast<int>(lines.size());
  return true;
}

}  // namespace gdi
}  // namespace platform

using namespace platform;
using namespace platform::gdi;

int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
  if (!text || !rect || count < -1) return 0;
  const RECT area = Clamped(*rect);
  const std::vector<std::u32string> lines = Lines(text, count);
  Pixels pixels;
  int text_height;
  {
    std::lock_guard<std::mutex> hold(GdiLock());
    const DeviceContext* context = FindDc(dc);
    if (!context || !DrawingPixels(dc, &pixels)) return 0;
    const Font* selected = FindFont(context->font);
    SizedFont* font = SizedFontFor(selected ? selected->logfont : StockFont());
    if (!font) return 0;
    const RECT clip = RectIntersection(area, RECT{0, 0, pixels.width, pixels.height});
    const int cell = CellHeight(*font);
    int top = area.top;
    for (const std::u32string& line : lines) {
      const int width = LineWidth(*font, line);
      int pen = area.left;
      if (format & DT_CENTER) pen += (area.right - area.left - width) / 2;
      if (context->background_mode == OPAQUE) {
        Fill(pixels, RectIntersection(RECT{pen, top, pen + width, top + cell}, clip),
             ColourOf(context->background_colour));
      }
      for (char32_t character : line) {
        const Glyph& glyph = GlyphOf(*font, character);
        Blend(pixels, glyph, pen + glyph.left, top + Ascent(*font) - glyph.top, clip,
              ColourOf(context->text_colour));
        pen += glyph.advance;
      }
      top += cell;
    }
    text_height = top - area.top;
    NoteDrawing(pixels, RectIntersection(clip, RECT{area.left, area.top, area.right, top}));
  }
  return text_height;
}
