#include "tests/soak/reference_screen.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int Width = 800;
constexpr int Height = 480;

// The part of the backdrop and the canvas that either view ever copies out: the full panel's
// canvas rectangle (x 15 to 628, y 32 to 241) and the compact view's (x 0 to 319, y 0 to 109).
constexpr int ModelWidth = 629;
constexpr int ModelHeight = 242;

struct Rgb {
  std::uint8_t red, green, blue;
};

constexpr Rgb FullPanelLcdColour = {255, 20, 0};
constexpr Rgb CompactLcdColours[] = {
    {255, 20, 0}, {0, 50, 255}, {80, 80, 80}, {80, 255, 100}, {80, 50, 255}};

struct Lamp {
  int bitmap, x, y;
};

// By button id 1 to 29: the sprite and the lamp's top-left corner on screen.
constexpr Lamp Lamps[29] = {
    {194, 36, 431},  {190, 135, 290}, {190, 233, 290}, {190, 332, 290}, {190, 432, 290},
    {190, 530, 290}, {190, 629, 290}, {191, 131, 355}, {191, 41, 355},  {191, 632, 355},
    {191, 541, 355}, {191, 182, 355}, {191, 272, 355}, {191, 398, 355}, {191, 495, 355},
    {191, 337, 355}, {192, 745, 67},  {192, 745, 142}, {192, 745, 215}, {192, 20, 215},
    {192, 20, 67},   {192, 20, 142},  {194, 674, 1},   {194, 579, 1},   {194, 89, 1},
    {194, 187, 1},   {194, 287, 1},   {194, 706, 355}, {194, 392, 1},
};

const char* const DayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const MonthNames[] = {"---", "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The clock's rectangle in the BackBuffer, and the rows of it that the clock picture holds.
constexpr RECT ClockRect = {240, 447, 558, 477};
constexpr int ClockFirstRow = 440;
constexpr int ClockRows = Height - ClockFirstRow;

bool LoadResource(const ResourceTable& resources, UINT id, RgbImage* image) {
  for (std::size_t i = 0; i < resources.bitmap_count; ++i) {
    const ResourceBlob& blob = resources.bitmaps[i];
    if (blob.id == id) return ReadBmp(blob.data, blob.size, image);
  }
  return false;
}

void Put(std::uint8_t* pixel, Rgb colour) {
  pixel[0] = colour.red;
  pixel[1] = colour.green;
  pixel[2] = colour.blue;
}

std::int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int year_of_era = static_cast<int>(year - era * 400);
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

}  // namespace

SYSTEMTIME CivilFromMs(std::int64_t ms) {
  std::int64_t days = ms / 86'400'000;
  std::int64_t in_day = ms % 86'400'000;
  if (in_day < 0) {
    in_day += 86'400'000;
    --days;
  }
  SYSTEMTIME time = {};
  time.wDayOfWeek = static_cast<WORD>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  const std::int64_t shifted = days + 719468;
  const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const int day_of_era = static_cast<int>(shifted - era * 146097);
  const int year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int month_index = (5 * day_of_year + 2) / 153;
  const int month = month_index < 10 ? month_index + 3 : month_index - 9;
  time.wYear = static_cast<WORD>(year_of_era + era * 400 + (month <= 2));
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day_of_year - (153 * month_index + 2) / 5 + 1);
  time.wHour = static_cast<WORD>(in_day / 3'600'000);
  time.wMinute = static_cast<WORD>(in_day / 60'000 % 60);
  time.wSecond = static_cast<WORD>(in_day / 1000 % 60);
  time.wMilliseconds = static_cast<WORD>(in_day % 1000);
  return time;
}

std::int64_t MsFromCivil(int year, int month, int day, int hour, int minute, int second) {
  return ((DaysFromCivil(year, month, day) * 24 + hour) * 60 + minute) * 60'000 +
         std::int64_t{second} * 1000;
}

std::string ClockLine(const SYSTEMTIME& time) {
  // Twelve-hour time: midnight reads am12, noon pm12, 13:05 pm 1:05.
  const int hour = time.wHour;
  const int shown_hour = hour == 0 ? 12 : (hour > 12 ? hour - 12 : hour);
  char line[64];
  std::snprintf(line, sizeof line, "  %s.%d %s %s%2d:%02d  ", MonthNames[time.wMonth % 13],
                time.wDay, DayNames[time.wDayOfWeek % 7], hour < 12 ? "am" : "pm", shown_hour,
                time.wMinute);
  return line;
}

ReferenceScreen::~ReferenceScreen() {
  if (clock_dc_) {
    SelectObject(clock_dc_, clock_dc_bitmap_);
    DeleteDC(clock_dc_);
  }
  if (clock_dib_) DeleteObject(clock_dib_);
  if (clock_font_) DeleteObject(clock_font_);
}

bool ReferenceScreen::Load(const ResourceTable& resources,
                           const std::vector<std::uint8_t>& compact_background,
                           std::string* problem) {
  const struct {
    UINT id;
    RgbImage* image;
  } pictures[] = {{188, &panel_},     {211, &aux_},       {212, &usb_},       {214, &link_},
                  {190, &lamps_190_}, {191, &lamps_191_}, {192, &lamps_192_}, {194, &lamps_194_}};
  for (const auto& picture : pictures) {
    if (!LoadResource(resources, picture.id, picture.image)) {
      *problem = "picture " + std::to_string(picture.id) + " is not a BMP the reference reads";
      return false;
    }
  }
  if (!ReadBmp(compact_background.data(), compact_background.size(), &compact_background_)) {
    *problem = "the compact background is not a BMP the reference reads";
    return false;
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = Width;
  info.bmiHeader.biHeight = ClockRows;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  clock_dib_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  clock_bits_ = static_cast<std::uint8_t*>(bits);
  clock_dc_ = CreateCompatibleDC(nullptr);
  clock_dc_bitmap_ = SelectObject(clock_dc_, clock_dib_);
  LOGFONTW font = {};
  font.lfHeight = 26;
  font.lfWidth = 10;
  font.lfWeight = 200;
  font.lfCharSet = 1;
  font.lfQuality = 4;
  font.lfPitchAndFamily = 2;
  std::memcpy(font.lfFaceName, u"Arial", sizeof u"Arial");
  clock_font_ = CreateFontIndirectW(&font);
  SelectObject(clock_dc_, clock_font_);
  if (!clock_bits_ || !clock_font_) {
    *problem = "no DIB section or font for the clock line";
    return false;
  }
  // Before anything is drawn, start-up shows the panel picture with both indicators.
  ComposeFullPanel(ViewState{});
  window_ = back_buffer_;
  return true;
}

void ReferenceScreen::DrawIndicators(const ViewState& state) {
  CopyBlock(aux_, 0, 14 * state.aux_flag, &back_buffer_, 176, 16, 52, 14);
  CopyBlock(usb_, 0, 14 * state.usb_flag, &back_buffer_, 269, 16, 72, 14);
  CopyBlock(link_, 15 * state.link_variant, 0, &back_buffer_, 780, 470, 15, 10);
}

void ReferenceScreen::ComposeFullPanel(const ViewState& state) {
  CopyBlock(panel_, 0, 0, &back_buffer_, 0, 0, Width, Height);
  DrawIndicators(state);
}

void ReferenceScreen::Paint(const ViewState& state) {
  if (state.panel_mode != 0) {
    ComposeFullPanel(state);
    CopyBlock(canvas_, 15, 32, &back_buffer_, 93, 61, 614, 210);
  } else {
    CopyBlock(compact_background_, 0, 0, &back_buffer_, 0, 0, Width, Height);
    CopyBlock(canvas_, 0, 0, &back_buffer_, 470, 360, 320, 110);
  }
  ShowBackBuffer(state, false);
}

// Doubled: LCD pixel (m, c) covers canvas x 2c, 2c + 1 and y 2m + 3, 2m + 4, all four when solid,
// only (2c, 2m + 3) when dotted. The canvas's top 14 rows keep what they held.
void ReferenceScreen::RenderFullLcd(const ViewState& state, const LcdReference& lcd) {
  CopyBlock(panel_, 78, 29, &backdrop_, 0, 0, ModelWidth, ModelHeight);
  for (int y = 14; y < ModelHeight; ++y) {
    std::memcpy(canvas_.At(0, y), backdrop_.At(0, y), ModelWidth * 3);
    const int m = (y - 3) / 2;
    const bool dotted_row = (y - 3) % 2 == 0;
    for (int x = 0; x < ModelWidth; ++x) {
      const bool lit =
          lcd.matrix[m][x / 2] != 0 && (state.fill_style != 0 || (x % 2 == 0 && dotted_row));
      if (lit) Put(canvas_.At(x, y), FullPanelLcdColour);
    }
  }
}

// Natural size: canvas (x, y) shows LCD pixel (y + 13, x) for x below 400 and y below 227; what
// lies beyond the matrix (x from 340, y from 117) is dark.
void ReferenceScreen::RenderCompactLcd(const ViewState& state, const LcdReference& lcd) {
  CopyBlock(compact_background_, 470, 360, &backdrop_, 0, 0, ModelWidth, ModelHeight);
  const bool known = state.colour_index >= 0 && state.colour_index <= 4;
  const Rgb colour = CompactLcdColours[known ? state.colour_index : 0];
  for (int y = 0; y < ModelHeight; ++y) {
    std::memcpy(canvas_.At(0, y), backdrop_.At(0, y), ModelWidth * 3);
    const int m = y + 13;
    if (y >= 227 || m >= LcdReference::Rows) continue;
    for (int x = 0; x < LcdReference::Columns; ++x) {
      if (lcd.matrix[m][x] != 0) Put(canvas_.At(x, y), colour);
    }
  }
}

void ReferenceScreen::ShowBackBuffer(const ViewState& state, bool with_lamp) {
  window_.rgb = back_buffer_.rgb;
  if (!with_lamp || state.panel_mode == 0 || state.button_id < 1 || state.button_id > 29) return;
  const Lamp& lamp = Lamps[state.button_id - 1];
  const RgbImage* sprite = lamp.bitmap == 190   ? &lamps_190_
                           : lamp.bitmap == 191 ? &lamps_191_
                           : lamp.bitmap == 192 ? &lamps_192_
                                                : &lamps_194_;
  CopyBlock(*sprite, 0, 0, &window_, lamp.x, lamp.y, 32, 12);
}

void ReferenceScreen::DrawClockLine(std::int64_t virtual_ms) {
  const SYSTEMTIME now = CivilFromMs(civil_base_ms_ + virtual_ms);
  const bool new_minute = now.wMinute != last_clock_minute_;
  last_clock_minute_ = now.wMinute;
  const int stride = (Width * 3 + 3) / 4 * 4;
  for (int row = 0; row < ClockRows; ++row) {
    const std::uint8_t* rgb = back_buffer_.At(0, ClockFirstRow + row);
    std::uint8_t* bgr = clock_bits_ + static_cast<std::size_t>(ClockRows - 1 - row) * stride;
    for (int x = 0; x < Width; ++x) {
      bgr[3 * x] = rgb[3 * x + 2];
      bgr[3 * x + 1] = rgb[3 * x + 1];
      bgr[3 * x + 2] = rgb[3 * x];
    }
  }
  SetBkColor(clock_dc_, RGB(0, 0, 0));
  SetTextColor(clock_dc_, new_minute ? RGB(255, 255, 255) : RGB(128, 128, 128));
  const std::string line = ClockLine(now);
  const std::u16string text(line.begin(), line.end());
  RECT area = {ClockRect.left, ClockRect.top - ClockFirstRow, ClockRect.right,
               ClockRect.bottom - ClockFirstRow};
  DrawTextW(clock_dc_, text.c_str(), -1, &area, DT_CENTER);
  for (int row = 0; row < ClockRows; ++row) {
    std::uint8_t* rgb = back_buffer_.At(0, ClockFirstRow + row);
    const std::uint8_t* bgr = clock_bits_ + static_cast<std::size_t>(ClockRows - 1 - row) * stride;
    for (int x = 0; x < Width; ++x) {
      rgb[3 * x] = bgr[3 * x + 2];
      rgb[3 * x + 1] = bgr[3 * x + 1];
      rgb[3 * x + 2] = bgr[3 * x];
    }
  }
}

void ReferenceScreen::Refresh(const ViewState& state, const LcdReference& lcd,
                              std::int64_t virtual_ms) {
  if (state.panel_mode != 0) {
    RenderFullLcd(state, lcd);
    CopyBlock(canvas_, 15, 32, &back_buffer_, 93, 61, 614, 210);
    DrawIndicators(state);
    ShowBackBuffer(state, true);
    DrawClockLine(virtual_ms);
  } else {
    RenderCompactLcd(state, lcd);
    CopyBlock(canvas_, 0, 0, &back_buffer_, 470, 360, 320, 110);
    ShowBackBuffer(state, false);
  }
}

bool ReferenceScreen::Matches(const std::vector<std::uint8_t>& capture, bool window_shown,
                              std::string* problem) const {
  static const std::vector<std::uint8_t> black(window_.rgb.size(), 0);
  const std::vector<std::uint8_t>& expected = window_shown ? window_.rgb : black;
  if (capture.size() == expected.size() &&
      std::memcmp(capture.data(), expected.data(), capture.size()) == 0) {
    return true;
  }
  if (capture.size() != expected.size()) {
    *problem = "the capture has " + std::to_string(capture.size()) + " bytes";
    return false;
  }
  std::size_t differing = 0;
  std::size_t first = 0;
  for (std::size_t pixel = 0; pixel * 3 < capture.size(); ++pixel) {
    if (std::memcmp(&capture[3 * pixel], &expected[3 * pixel], 3) == 0) continue;
    if (differing++ == 0) first = pixel;
  }
  char text[200];
  std::snprintf(text, sizeof text,
                "%zu pixels differ from the reference (window %s); first at (%zu, %zu): screen "
                "%02X%02X%02X, reference %02X%02X%02X",
                differing, window_shown ? "shown" : "hidden", first % Width, first / Width,
                capture[3 * first], capture[3 * first + 1], capture[3 * first + 2],
                expected[3 * first], expected[3 * first + 1], expected[3 * first + 2]);
  *problem = text;
  return false;
}
