// The soak's reference renderer: what the panel's screen must show, drawn from the description of
// the two views and apart from the panel's own drawing code. It keeps its own copies of the three
// pictures a handler draws through (the LCD backdrop, the LCD canvas and the BackBuffer), because
// a paint copies the canvas as the last refresh left it, a refresh redraws only the LCD and the
// indicators, and the clock line drawn by one refresh reaches the screen with the next: a handler
// run out of turn (a refresh already queued when the view changes) then shows the same mixed
// picture in both. The clock text goes through the platform's DrawTextW, as no description of a
// font's pixels exists; its content and colour come from the reference's own clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "platform/win32.h"
#include "tests/soak/lcd_reference.h"
#include "tests/soak/rgb_image.h"

// The state record's fields that the views are drawn from, as the handler just run saw them.
struct ViewState {
  int panel_mode = 1;
  int fill_style = 0;
  int colour_index = 0;
  int usb_flag = 0;
  int aux_flag = 0;
  int link_variant = 0;
  int button_id = 0;
};

class ReferenceScreen {
 public:
  ReferenceScreen() = default;
  ~ReferenceScreen();
  ReferenceScreen(const ReferenceScreen&) = delete;
  ReferenceScreen& operator=(const ReferenceScreen&) = delete;

  // The panel's pictures from the resource table and the compact background from the card.
  bool Load(const ResourceTable& resources, const std::vector<std::uint8_t>& compact_background,
            std::string* problem);
  // The local time at virtual time 0 (ms since 1970 in local civil time) for the clock line.
  void SetLocalTime(std::int64_t civil_ms_at_virtual_zero) {
    civil_base_ms_ = civil_ms_at_virtual_zero;
  }

  // What PaintPanel and RefreshPanel do to the pictures and the window.
  void Paint(const ViewState& state);
  void Refresh(const ViewState& state, const LcdReference& lcd, std::int64_t virtual_ms);

  // Compares a capture of the screen with the window as last drawn (black while it is hidden);
  // true when they are equal, else false with the first differing pixel in *problem.
  bool Matches(const std::vector<std::uint8_t>& capture, bool window_shown,
               std::string* problem) const;
  // The window as last drawn, in RGB rows top first.
  const std::vector<std::uint8_t>& window() const { return window_.rgb; }

 private:
  void ComposeFullPanel(const ViewState& state);
  void RenderFullLcd(const ViewState& state, const LcdReference& lcd);
  void RenderCompactLcd(const ViewState& state, const LcdReference& lcd);
  void DrawIndicators(const ViewState& state);
  void ShowBackBuffer(const ViewState& state, bool with_lamp);
  void DrawClockLine(std::int64_t virtual_ms);

  RgbImage panel_, aux_, usb_, link_, compact_background_;
  RgbImage lamps_190_, lamps_191_, lamps_192_, lamps_194_;
  RgbImage backdrop_{800, 480}, canvas_{800, 480}, back_buffer_{800, 480}, window_{800, 480};
  std::int64_t civil_base_ms_ = 0;
  int last_clock_minute_ = 0;  // of the previous clock reading, 0 before the first
  // A 24-bit bottom-up DIB of the BackBuffer's bottom rows, to draw the clock line into.
  HBITMAP clock_dib_ = nullptr;
  HDC clock_dc_ = nullptr;
  HGDIOBJ clock_dc_bitmap_ = nullptr;
  HFONT clock_font_ = nullptr;
  std::uint8_t* clock_bits_ = nullptr;
};

// Local civil time from milliseconds since 1970, and back.
SYSTEMTIME CivilFromMs(std::int64_t ms);
std::int64_t MsFromCivil(int year, int month, int day, int hour, int minute, int second);
// The clock line for a reading of the local clock, e.g. "  Dec.7 Mon am 9:05  ".
std::string ClockLine(const SYSTEMTIME& time);
