// Face resolution, GDI sizing and the glyph cache.
//
// GDI sizing: a positive lfHeight is the cell height, which spans the face's winAscent plus
// winDescent; a negative one is the em height. lfWidth is the average character width, measured
// the classic way (the weighted average of the lower-case advances and the space), which for
// Arial and its metric twins is about three quarters of the OS/2 xAvgCharWidth that newer fonts
// compute over all glyphs.
#include "platform/gdi/glyph_cache.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/gdi/gdi_objects.h"
#include "platform/internal/module_interfaces.h"

namespace platform::gdi {

struct SizedFont {
  FT_Face face = nullptr;
  int cell_height = 0;
  int ascent = 0;
  std::unordered_map<char32_t, Glyph> glyphs;

  ~SizedFont() {
    if (face) FT_Done_Face(face);
  }
};

namespace {

// A LOGFONTW asks for at most this many pixels of height or width.
constexpr long kLargestSize = 1024;
constexpr long kDefaultCellHeight = 16;
// Distinct sizes kept at once; more than this means fonts are made and dropped freely.
constexpr std::size_t kSizedFontsKept = 32;

// Weights of the classic average character width, per 1000: 'a' to 'z', then the space.
constexpr int kLowerCaseWeights[26] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3,  6, 35, 20,
                                       56, 56, 17, 4,  49,  56, 71, 31, 10, 18, 3, 18, 2};
constexpr int kSpaceWeight = 166;

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library created = nullptr;
    return FT_Init_FreeType(&created) == 0 ? created : nullptr;
  }();
  return library;
}

std::map<std::string, std::unique_ptr<SizedFont>>& SizedFonts() {
  static std::map<std::string, std::unique_ptr<SizedFont>> fonts;
  return fonts;
}

std::string FaceName(const LOGFONTW& logfont) {
  const WCHAR* end = std::find(logfont.lfFaceName, logfont.lfFaceName + LF_FACESIZE, u'\0');
  return Utf8FromWide(std::u16string(logfont.lfFaceName, end).c_str());
}

void ReleaseFontconfig() {
  std::lock_guard<std::mutex> hold(GdiLock());
  FcFini();
}

// fontconfig keeps its configuration until FcFini; leak checkers count it as lost otherwise.
// The program ends through quick_exit (ExitProcess), tests through exit.
void ReleaseFontconfigAtExit() {
  static const bool registered =
      std::atexit(ReleaseFontconfig) == 0 && std::at_quick_exit(ReleaseFontconfig) == 0;
  (void)registered;
}

// The font file that fontconfig chooses for the face name, weight and slant.
bool ResolveFace(const LOGFONTW& logfont, std::string* path, int* index) {
  ReleaseFontconfigAtExit();
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  const std::string family = FaceName(logfont);
  if (!family.empty()) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  }
  const int weight = logfont.lfWeight > 0 ? std::min<LONG>(logfont.lfWeight, 1000) : 400;
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, logfont.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;
  FcChar8* file = nullptr;
  const bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
  if (found) *path = reinterpret_cast<const char*>(file);
  if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
  FcPatternDestroy(match);
  return found;
}

double UnscaledAdvance(FT_Face face, char32_t character) {
  const FT_UInt glyph = FT_Get_Char_Index(face, character);
  if (glyph == 0 || FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE) != 0) return -1;
  return face->glyph->advance.x;
}

// In font units; faces without the lower-case letters fall back to their own average.
double ClassicAverageWidth(FT_Face face) {
  double sum = 0;
  bool complete = true;
  const auto add = [&](char32_t character, int weight) {
    const double advance = UnscaledAdvance(face, character);
    complete = complete && advance >= 0;
    sum += weight * advance;
  };
  add(U' ', kSpaceWeight);
  for (int letter = 0; letter < 26; ++letter) add(U'a' + letter, kLowerCaseWeights[letter]);
  if (complete && sum > 0) return sum / 1000;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  return os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : face->units_per_EM / 2.0;
}

bool SizeFace(SizedFont& font, const LOGFONTW& logfont) {
  FT_Face face = font.face;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  double ascent_units = os2 ? os2->usWinAscent : face->ascender;
  double descent_units = os2 ? os2->usWinDescent : -face->descender;
  if (ascent_units + descent_units <= 0) {
    ascent_units = face->units_per_EM;
    descent_units = 0;
  }
  const double em = face->units_per_EM;
  const long height = logfont.lfHeight == 0 ? kDefaultCellHeight
                                            : std::min(std::labs(logfont.lfHeight), kLargestSize);
  // Pixels per font unit.
  const double y_scale =
      logfont.lfHeight >= 0 ? height / (ascent_units + descent_units) : height / em;
  const double x_scale = logfont.lfWidth == 0 ? y_scale
                                              : std::min(std::labs(logfont.lfWidth), kLargestSize) /
                                                    ClassicAverageWidth(face);
  const auto to_26_6 = [&](double scale) {
    return std::max<FT_F26Dot6>(1, std::lround(scale * em * 64.0));
  };
  if (FT_Set_Char_Size(face, to_26_6(x_scale), to_26_6(y_scale), 72, 72) != 0) return false;
  font.cell_height = static_cast<int>(std::lround((ascent_units + descent_units) * y_scale));
  font.ascent = static_cast<int>(std::lround(ascent_units * y_scale));
  return true;
}

std::unique_ptr<SizedFont> LoadSizedFont(const LOGFONTW& logfont) {
  std::string path;
  int index = 0;
  if (!Library() || !ResolveFace(logfont, &path, &index)) return nullptr;
  auto font = std::make_unique<SizedFont>();
  if (FT_New_Face(Library(), path.c_str(), index, &font->face) != 0) {
    font->face = nullptr;
    return nullptr;
  }
  if (!SizeFace(*font, logfont)) return nullptr;
  return font;
}

std::string SizedFontKey(const LOGFONTW& logfont) {
  return FaceName(logfont) + '/' + std::to_string(logfont.lfHeight) + '/' +
         std::to_string(logfont.lfWidth) + '/' + std::to_string(logfont.lfWeight) + '/' +
         std::to_string(logfont.lfItalic);
}

Glyph RenderGlyph(FT_Face face, char32_t character) {
  Glyph glyph{};
  if (FT_Load_Char(face, character, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) return glyph;
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  glyph.left = slot->bitmap_left;
  glyph.top = slot->bitmap_top;
  glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.pitch < 0) return glyph;
  glyph.width = static_cast<int>(bitmap.width);
  glyph.height = static_cast<int>(bitmap.rows);
  glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.height);
  for (int row = 0; row < glyph.height; ++row) {
    std::copy_n(bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch, glyph.width,
                glyph.coverage.begin() + static_cast<std::ptrdiff_t>(row) * glyph.width);
  }
  return glyph;
}

}  // namespace

SizedFont* SizedFontFor(const LOGFONTW& logfont) {
  auto& fonts = SizedFonts();
  const std::string key = SizedFontKey(logfont);
  const auto found = fonts.find(key);
  if (found != fonts.end()) return found->second.get();
  auto font = LoadSizedFont(logfont);
  if (!font) return nullptr;
  if (fonts.size() >= kSizedFontsKept) fonts.clear();
  return (fonts[key] = std::move(font)).get();
}

int CellHeight(const SizedFont& font) { return font.cell_height; }

int Ascent(const SizedFont& font) { return font.ascent; }

const Glyph& GlyphOf(SizedFont& font, char32_t character) {
  const auto found = font.glyphs.find(character);
  if (found != font.glyphs.end()) return found->second;
  return font.glyphs[character] = RenderGlyph(font.face, character);
}

}  // namespace platform::gdi
