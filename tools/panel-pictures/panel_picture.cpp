// The picture of the audio unit's front panel (bitmap 188) and its caption-less twin (213).
//
// Every key is drawn over its touch rectangle; a caption sits below its key's lamp, centred on
// the lamp. The arrow pairs are rockers: one key over both touch rectangles with the down arrow
// under the left lamp, the up arrow under the right lamp and the pair's name between them. Last,
// each lamp's unlit frame is stamped in at its place, after checking that only the bare key face
// lay there, so that drawing a released lamp never changes the picture.
#include "panel/lamp_table.h"
#include "pictures.h"

namespace {

constexpr int PanelWidth = 800;
constexpr int PanelHeight = 480;
constexpr double KeyCorner = 4;

// Keys in inclusive pixel bounds. The top bar runs off the top edge of the screen.
const Box TopBarKeys[] = {
    {51, 0, 149, 40},   // NAVI
    {151, 0, 249, 40},  // AUX indicator
    {251, 0, 349, 40},  // USB indicator
    {351, 0, 449, 40},  // LCD colour: a key without a caption
    {451, 0, 544, 40},  // SCREEN
    {546, 0, 644, 40},  // EJECT
    {651, 0, 739, 40},  // BSM
};
// Each side key begins one pixel above its lamp.
const Box SideKeys[] = {
    {1, 66, 79, 139},      // FM
    {1, 141, 79, 212},     // AM
    {1, 214, 79, 301},     // CD
    {721, 66, 799, 139},   // AUX
    {721, 141, 799, 212},  // INFO
    {721, 214, 799, 301},  // SETUP
};
const Box LowerKeys[] = {
    {16, 354, 169, 420},   // VOL rocker
    {171, 354, 311, 420},  // SEEK rocker
    {313, 354, 389, 420},  // SCAN
    {391, 354, 530, 420},  // FOLDER rocker
    {532, 354, 670, 420},  // FILE rocker
    {672, 354, 779, 420},  // MENU / ENTER
    {4, 430, 99, 476},     // POWER
};

// Black fields of the top bar where the indicators 211 and 212 are drawn.
const Box IndicatorFields[] = {{174, 14, 229, 31}, {267, 14, 342, 31}};

constexpr Box LcdWindow = {81, 52, 718, 278};
constexpr Box LcdGlass = {88, 58, 711, 273};
constexpr Rgb LcdBezel = {27, 27, 29};
constexpr Rgb LcdGlassColour = {14, 6, 6};

constexpr Box PresetBar = {120, 286, 700, 347};
// The dead columns between presets.
const int PresetDividers[] = {200, 300, 400, 500, 600};

constexpr TextStyle KeyCaption = {15, CaptionGrey};
constexpr TextStyle SmallCaption = {13, CaptionGrey};
constexpr TextStyle PresetNumber = {21, PresetCaption};
constexpr TextStyle Brand = {16, {88, 88, 92}, 5};

// Where a caption is drawn, and the touch rectangle it must lie in (a rocker's name: both).
struct Caption {
  const char* text;
  const TextStyle* style;
  double centre_x;
  double centre_y;
  Box touch;
};

const Caption Captions[] = {
    {"NAVI", &KeyCaption, 105, 23, {51, 1, 149, 79}},
    {"SCREEN", &KeyCaption, 498, 23, {451, 1, 544, 49}},
    {"EJECT", &KeyCaption, 595, 23, {546, 1, 644, 79}},
    {"BSM", &KeyCaption, 690, 23, {651, 1, 739, 79}},
    {"FM", &KeyCaption, 36, 109.5, {1, 81, 79, 141}},
    {"AM", &KeyCaption, 36, 183.5, {1, 143, 79, 224}},
    {"CD", &KeyCaption, 36, 264.5, {1, 226, 79, 301}},
    {"AUX", &KeyCaption, 761, 109.5, {721, 81, 799, 141}},
    {"INFO", &KeyCaption, 761, 183.5, {721, 143, 799, 224}},
    {"SETUP", &KeyCaption, 761, 264.5, {721, 226, 799, 301}},
    {"1", &PresetNumber, 151, 324.5, {121, 296, 199, 344}},
    {"2", &PresetNumber, 249, 324.5, {201, 296, 299, 344}},
    {"3", &PresetNumber, 348, 324.5, {301, 296, 399, 344}},
    {"4", &PresetNumber, 448, 324.5, {401, 296, 499, 344}},
    {"5", &PresetNumber, 546, 324.5, {501, 296, 599, 344}},
    {"6", &PresetNumber, 645, 324.5, {601, 296, 699, 344}},
    {"VOL", &KeyCaption, 100.5, 394, {16, 361, 169, 419}},
    {"SEEK", &KeyCaption, 240.5, 394, {171, 361, 311, 419}},
    {"SCAN", &KeyCaption, 353, 394, {313, 361, 389, 419}},
    {"FOLDER", &KeyCaption, 460.5, 394, {391, 361, 530, 419}},
    {"FILE", &KeyCaption, 600.5, 394, {532, 361, 670, 419}},
    {"MENU", &SmallCaption, 722, 383, {672, 361, 779, 419}},
    {"ENTER", &KeyCaption, 722, 405, {672, 361, 779, 419}},
    {"POWER", &KeyCaption, 52, 459.5, {0, 431, 119, 479}},
};

// The arrows of the rockers, each centred under its lamp: down on the left, up on the right.
struct Arrow {
  const char* name;
  double centre_x;
  bool up;
  Box touch;
};
const Arrow Arrows[] = {
    {"VOL down", 57, false, {16, 361, 99, 419}},
    {"VOL up", 147, true, {101, 361, 169, 419}},
    {"SEEK down", 198, false, {171, 361, 239, 419}},
    {"SEEK up", 288, true, {241, 361, 311, 419}},
    {"FOLDER down", 414, false, {391, 361, 459, 419}},
    {"FOLDER up", 511, true, {461, 361, 530, 419}},
    {"FILE down", 557, false, {532, 361, 599, 419}},
    {"FILE up", 648, true, {601, 361, 670, 419}},
};
constexpr double ArrowCentreY = 394;
constexpr double ArrowHalfWidth = 7;
constexpr double ArrowHalfHeight = 4.5;

// The exit corner (x from 771, y below 30) is marked by a cross.
constexpr double ExitCrossX = 785.5;
constexpr double ExitCrossY = 14.5;
constexpr double ExitCrossArm = 5;
constexpr Rgb ExitCrossColour = {170, 170, 170};

bool Within(Box inner, Box outer) {
  return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
         inner.bottom <= outer.bottom;
}

Box Grown(Box box, int by) {
  return {box.left - by, box.top - by, box.right + by, box.bottom + by};
}

// A key lit from above: a light upper rim, a dark lower rim, a flat face.
void DrawKey(Image& panel, Box key, Rgb face, Rgb highlight, Rgb shadow) {
  FillShape(panel, key, shadow, PixelBoxShape(key, KeyCorner));
  FillShape(panel, key, highlight,
            PixelBoxShape({key.left, key.top, key.right, key.bottom - 1}, KeyCorner));
  FillShape(panel, key, face, PixelBoxShape(Grown(key, -1), KeyCorner - 1));
}

void DrawKeys(Image& panel) {
  for (const Box& key : TopBarKeys) DrawKey(panel, key, KeyFace, KeyHighlight, KeyShadow);
  for (const Box& key : SideKeys) DrawKey(panel, key, KeyFace, KeyHighlight, KeyShadow);
  for (const Box& key : LowerKeys) DrawKey(panel, key, KeyFace, KeyHighlight, KeyShadow);
  for (const Box& field : IndicatorFields) {
    FillShape(panel, field, KeyShadow, PixelBoxShape(field, 2));
    FillShape(panel, field, Black, PixelBoxShape(Grown(field, -1), 1));
  }
}

void DrawLcdWindow(Image& panel) {
  DrawKey(panel, LcdWindow, LcdBezel, {58, 58, 61}, {12, 12, 13});
  FillShape(panel, Grown(LcdGlass, 1), Black, PixelBoxShape(Grown(LcdGlass, 1), 3));
  FillShape(panel, LcdGlass, LcdGlassColour, PixelBoxShape(LcdGlass, 2));
}

void DrawPresetBar(Image& panel) {
  DrawKey(panel, PresetBar, PresetFace, PresetHighlight, PresetShadow);
  for (int x : PresetDividers) {
    FillBox(panel, {x, PresetBar.top + 1, x, PresetBar.bottom - 1}, PresetShadow);
  }
}

bool DrawArrows(Image& panel, std::string* error) {
  for (const Arrow& arrow : Arrows) {
    const double tip = arrow.up ? -ArrowHalfHeight : ArrowHalfHeight;
    const Shape triangle = TriangleShape(arrow.centre_x - ArrowHalfWidth, ArrowCentreY - tip,
                                         arrow.centre_x + ArrowHalfWidth, ArrowCentreY - tip,
                                         arrow.centre_x, ArrowCentreY + tip);
    const Box bounds = {static_cast<int>(arrow.centre_x - ArrowHalfWidth) - 1,
                        static_cast<int>(ArrowCentreY - ArrowHalfHeight) - 1,
                        static_cast<int>(arrow.centre_x + ArrowHalfWidth) + 1,
                        static_cast<int>(ArrowCentreY + ArrowHalfHeight) + 1};
    if (!Within(bounds, arrow.touch)) {
      *error = std::string("the arrow of ") + arrow.name + " leaves its touch rectangle";
      return false;
    }
    FillShape(panel, bounds, CaptionGrey, triangle);
  }
  return true;
}

void DrawExitCross(Image& panel) {
  const double a = ExitCrossArm;
  const Shape cross =
      UnionShape(StrokeShape(ExitCrossX - a, ExitCrossY - a, ExitCrossX + a, ExitCrossY + a, 2.2),
                 StrokeShape(ExitCrossX + a, ExitCrossY - a, ExitCrossX - a, ExitCrossY + a, 2.2));
  FillShape(panel, {776, 5, 795, 24}, ExitCrossColour, cross);
}

bool DrawCaptions(Image& panel, CaptionFont& font, std::string* error) {
  for (const Caption& caption : Captions) {
    const Box drawn =
        DrawCaption(panel, font, *caption.style, caption.text, caption.centre_x, caption.centre_y);
    if (!Within(drawn, caption.touch)) {
      *error = std::string("the caption ") + caption.text + " leaves its touch rectangle";
      return false;
    }
  }
  return DrawArrows(panel, error);
}

bool StampUnlitLamps(Image& panel, std::string* error) {
  for (const ButtonLamp& lamp : ButtonLamps) {
    const Rgb face = ButtonSpriteFace(lamp.bitmap);
    for (int y = lamp.y; y < lamp.y + LampFrameHeight; ++y) {
      for (int x = lamp.x; x < lamp.x + LampFrameWidth; ++x) {
        if (panel.At(x, y) != face) {
          *error = "the panel under the lamp of button " + std::to_string(lamp.button_id) +
                   " is not the bare face of sprite " + std::to_string(lamp.bitmap) + " at (" +
                   std::to_string(x) + ", " + std::to_string(y) + ")";
          return false;
        }
      }
    }
    const Box released = {LampReleasedFrameX, 0, LampReleasedFrameX + LampFrameWidth - 1,
                          LampFrameHeight - 1};
    CopyArea(panel, lamp.x, lamp.y, DrawButtonSprite(lamp.bitmap), released);
  }
  return true;
}

}  // namespace

std::optional<Image> DrawPanelPicture(CaptionFont& font, bool with_captions, std::string* error) {
  Image picture(PanelWidth, PanelHeight, Black);
  DrawKeys(picture);
  DrawLcdWindow(picture);
  DrawPresetBar(picture);
  DrawExitCross(picture);
  if (with_captions && !DrawCaptions(picture, font, error)) return std::nullopt;
  DrawCaption(picture, font, Brand, "QUELT", 690, 452);
  if (!StampUnlitLamps(picture, error)) return std::nullopt;
  return picture;
}
