// The small indicator pictures: AUX (211) and USB (212) on the top bar, each two frames of 14 rows
// one above the other, and the link variant (214) in the bottom right corner, three frames of
// 15 x 10 side by side. All stand on black, like the fields of the panel they are drawn into.
#include "pictures.h"

namespace {

constexpr int IndicatorFrameRows = 14;
constexpr Rgb IndicatorLit = {232, 232, 232};
constexpr Rgb IndicatorDimmed = {84, 84, 84};
constexpr Rgb UsbAudioRed = {236, 44, 40};
constexpr Rgb UsbNaviBlueGreen = {0, 196, 188};

// A circular arrow turning clockwise, open at the upper right, its head at the top.
void DrawCircularArrow(Image& image, Box frame, double centre_x, double centre_y, Rgb colour) {
  constexpr double MidRadius = 4.2;
  constexpr double Thickness = 1.7;
  const double outer = MidRadius + Thickness / 2;
  const double inner = MidRadius - Thickness / 2;
  const Shape ring =
      CutShape(CircleShape(centre_x, centre_y, outer), CircleShape(centre_x, centre_y, inner));
  // The gap: above the centre and right of the diagonal that runs up and to the right.
  const Shape gap = [=](double x, double y) {
    return y < centre_y && x > centre_x && (x - centre_x) < (centre_y - y) * 1.2;
  };
  const double head_y = centre_y - MidRadius;
  const Shape head = TriangleShape(centre_x + 3.4, head_y, centre_x - 0.4, head_y - 3.0,
                                   centre_x - 0.4, head_y + 3.0);
  FillShape(image, frame, colour, UnionShape(CutShape(ring, gap), head));
}

void DrawAuxFrame(Image& image, CaptionFont& font, int top, Rgb colour) {
  const Box frame = {0, top, image.width - 1, top + IndicatorFrameRows - 1};
  const TextStyle style = {12, colour};
  const double middle = top + IndicatorFrameRows / 2.0;
  const int text_width = TextWidth(font, style, "AUX");
  constexpr int ArrowWidth = 11;
  constexpr int Gap = 3;
  const double left = (image.width - text_width - Gap - ArrowWidth) / 2.0;
  DrawCaption(image, font, style, "AUX", left + text_width / 2.0, middle);
  DrawCircularArrow(image, frame, left + text_width + Gap + ArrowWidth / 2.0, middle, colour);
}

// "USB " in white, then the second word in its own colour, centred in the frame.
void DrawUsbFrame(Image& image, CaptionFont& font, int top, const char* second_word,
                  Rgb second_colour) {
  const TextStyle first = {11, IndicatorLit};
  const TextStyle second = {11, second_colour};
  const int first_width = TextWidth(font, first, "USB ");
  const int width = first_width + TextWidth(font, second, second_word);
  const int left = (image.width - width) / 2;
  const int baseline = top + (IndicatorFrameRows + CapHeight(font, first)) / 2;
  DrawText(image, font, first, "USB ", left, baseline);
  DrawText(image, font, second, second_word, left + first_width, baseline);
}

}  // namespace

Image DrawAuxIndicator(CaptionFont& font) {
  // The last row belongs to neither frame.
  Image image(52, 2 * IndicatorFrameRows + 1, Black);
  DrawAuxFrame(image, font, 0, IndicatorLit);
  DrawAuxFrame(image, font, IndicatorFrameRows, IndicatorDimmed);
  return image;
}

Image DrawUsbIndicator(CaptionFont& font) {
  Image image(72, 2 * IndicatorFrameRows, Black);
  DrawUsbFrame(image, font, 0, "AUDIO", UsbAudioRed);
  DrawUsbFrame(image, font, IndicatorFrameRows, "NAVI", UsbNaviBlueGreen);
  return image;
}

namespace {

constexpr int LinkFrameColumns = 15;
constexpr Rgb LinkGrey = {176, 176, 176};
constexpr Rgb LinkRed = {228, 32, 32};
// The 16 colours: black, seven steps of grey, eight steps of red, so that anti-aliased edges
// keep their softness in 4 bits.
constexpr int GreySteps = 7;
constexpr int RedSteps = 8;

std::vector<Rgb> LinkPalette() {
  std::vector<Rgb> palette = {Black};
  for (int step = 1; step <= GreySteps; ++step)
    palette.push_back(Mix(Black, LinkGrey, 255 * step / GreySteps));
  for (int step = 1; step <= RedSteps; ++step)
    palette.push_back(Mix(Black, LinkRed, 255 * step / RedSteps));
  return palette;
}

std::uint8_t NearestIndex(Rgb colour, const std::vector<Rgb>& palette) {
  std::uint8_t best = 0;
  int best_distance = 1 << 30;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const int dr = colour.r - palette[i].r;
    const int dg = colour.g - palette[i].g;
    const int db = colour.b - palette[i].b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = static_cast<std::uint8_t>(i);
    }
  }
  return best;
}

}  // namespace

PalettePicture DrawLinkIndicator(CaptionFont& font) {
  // The last column belongs to no frame.
  Image image(3 * LinkFrameColumns + 1, 10, Black);
  const TextStyle style = {10, LinkGrey};
  DrawCaption(image, font, style, "V1", LinkFrameColumns / 2.0, 5);
  DrawCaption(image, font, style, "V2", LinkFrameColumns * 1.5, 5);
  const double cx = LinkFrameColumns * 2.5;
  const double arm = 3.2;
  const Shape cross = UnionShape(StrokeShape(cx - arm, 5 - arm, cx + arm, 5 + arm, 1.8),
                                 StrokeShape(cx + arm, 5 - arm, cx - arm, 5 + arm, 1.8));
  FillShape(image, {2 * LinkFrameColumns, 0, 3 * LinkFrameColumns - 1, 9}, LinkRed, cross);

  PalettePicture picture = {image.width, image.height, {}, LinkPalette()};
  for (Rgb pixel : image.pixels) picture.indices.push_back(NearestIndex(pixel, picture.palette));
  return picture;
}
