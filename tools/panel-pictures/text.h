// Captions: Liberation Sans Bold rendered anti-aliased by FreeType onto a picture.
#pragma once

#include <string>

#include "image.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

struct CaptionFont {
  FT_LibraryRec_* library = nullptr;
  FT_FaceRec_* face = nullptr;
  std::string path;

  CaptionFont() = default;
  CaptionFont(const CaptionFont&) = delete;
  CaptionFont& operator=(const CaptionFont&) = delete;
  ~CaptionFont();
};

// Opens Liberation Sans Bold: the Debian package's file first (the one the committed pictures
// were drawn with), else whatever file fontconfig names for that exact family and style.
// On failure, says why in *error.
bool OpenCaptionFont(CaptionFont* font, std::string* error);

struct TextStyle {
  int pixel_size;  // the em size in pixels
  Rgb colour;
  int tracking = 0;  // extra pixels between letters
};

// Width of the text's advances in pixels.
int TextWidth(CaptionFont& font, const TextStyle& style, const std::string& text);
// Height of a capital letter above the baseline, in pixels.
int CapHeight(CaptionFont& font, const TextStyle& style);
// Draws the text with its baseline starting at (left, baseline).
void DrawText(Image& image, CaptionFont& font, const TextStyle& style, const std::string& text,
              int left, int baseline);
// Draws the text centred on (centre_x, centre_y): the middle of its capitals lies there.
// Returns the box from the baseline to the top of the capitals across the text's advances.
Box DrawCaption(Image& image, CaptionFont& font, const TextStyle& style, const std::string& text,
                double centre_x, double centre_y);
