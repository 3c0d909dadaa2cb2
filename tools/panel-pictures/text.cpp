#include "text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <fstream>

static const char DebianFontPath[] = "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf";

CaptionFont::~CaptionFont() {
  if (face) FT_Done_Face(face);
  if (library) FT_Done_FreeType(library);
}

static std::string FontconfigPath() {
  std::string path;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Liberation Sans:bold"));
  if (!pattern) return path;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcChar8* family = nullptr;
  FcChar8* file = nullptr;
  int weight = 0;
  // fontconfig answers with its best substitute; only the real family in bold will do.
  if (match && FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
      FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
      FcPatternGetInteger(match, FC_WEIGHT, 0, &weight) == FcResultMatch &&
      std::string(reinterpret_cast<const char*>(family)) == "Liberation Sans" &&
      weight == FC_WEIGHT_BOLD) {
    path = reinterpret_cast<const char*>(file);
  }
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return path;
}

bool OpenCaptionFont(CaptionFont* font, std::string* error) {
  font->path = std::ifstream(DebianFontPath).good() ? DebianFontPath : FontconfigPath();
  if (font->path.empty()) {
    *error = std::string("Liberation Sans Bold not found (neither ") + DebianFontPath +
             " nor through fontconfig); install fonts-liberation";
    return false;
  }
  if (FT_Init_FreeType(&font->library) != 0) {
    *error = "FreeType could not start";
    return false;
  }
  if (FT_New_Face(font->library, font->path.c_str(), 0, &font->face) != 0) {
    *error = "FreeType could not open " + font->path;
    return false;
  }
  return true;
}

static void SetSize(CaptionFont& font, const TextStyle& style) {
  FT_Set_Pixel_Sizes(font.face, 0, static_cast<FT_UInt>(style.pixel_size));
}

// Loads and renders one character; false for a character the font cannot draw.
static bool RenderGlyph(CaptionFont& font, char character) {
  const FT_UInt glyph = FT_Get_Char_Index(font.face, static_cast<unsigned char>(character));
  return FT_Load_Glyph(font.face, glyph, FT_LOAD_RENDER) == 0;
}

int TextWidth(CaptionFont& font, const TextStyle& style, const std::string& text) {
  SetSize(font, style);
  long width = 0;  // 26.6 fixed point
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!RenderGlyph(font, text[i])) continue;
    width += font.face->glyph->advance.x;
    if (i + 1 < text.size()) width += style.tracking * 64;
  }
  return static_cast<int>((width + 32) / 64);
}

int CapHeight(CaptionFont& font, const TextStyle& style) {
  SetSize(font, style);
  return RenderGlyph(font, 'H') ? font.face->glyph->bitmap_top : 0;
}

void DrawText(Image& image, CaptionFont& font, const TextStyle& style, const std::string& text,
              int left, int baseline) {
  SetSize(font, style);
  long pen = static_cast<long>(left) * 64;
  for (char character : text) {
    if (!RenderGlyph(font, character)) continue;
    const FT_GlyphSlot slot = font.face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    const int origin_x = static_cast<int>((pen + 32) / 64) + slot->bitmap_left;
    const int origin_y = baseline - slot->bitmap_top;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      for (unsigned column = 0; column < bitmap.width; ++column) {
        const int coverage =
            bitmap.buffer[static_cast<int>(row) * bitmap.pitch + static_cast<int>(column)];
        BlendPixel(image, origin_x + static_cast<int>(column), origin_y + static_cast<int>(row),
                   style.colour, coverage);
      }
    }
    pen += slot->advance.x + style.tracking * 64;
  }
}

Box DrawCaption(Image& image, CaptionFont& font, const TextStyle& style, const std::string& text,
                double centre_x, double centre_y) {
  const int width = TextWidth(font, style, text);
  const int left = static_cast<int>(std::floor(centre_x - width / 2.0 + 0.5));
  const int cap_height = CapHeight(font, style);
  const int baseline = static_cast<int>(std::floor(centre_y + cap_height / 2.0 + 0.5));
  DrawText(image, font, style, text, left, baseline);
  return {left, baseline - cap_height, left + width - 1, baseline - 1};
}
