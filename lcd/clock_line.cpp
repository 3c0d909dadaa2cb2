// DrawClock. The line reads, for example, "  Dec.7 Mon am 9:05  ": month name, day of month,
// weekday name, then am or pm with the hour on 12-hour time (midnight is am12, noon pm12).
#include "lcd/clock_line.h"

#include "app/panel_state.h"

namespace {

constexpr COLORREF ClockBackground = RGB(0, 0, 0);
constexpr COLORREF NewMinuteColour = RGB(255, 255, 255);
constexpr COLORREF SameMinuteColour = RGB(128, 128, 128);

// Arial, 26 pixels high and 10 wide on average, light, antialiased, variable pitch.
LOGFONTW ClockFont() {
  LOGFONTW font = {};
  font.lfHeight = 26;
  font.lfWidth = 10;
  font.lfWeight = 200;
  font.lfCharSet = 1;         // the default character set
  font.lfQuality = 4;         // antialiased
  font.lfPitchAndFamily = 2;  // variable pitch
  wcscpy(font.lfFaceName, W("Arial"));
  return font;
}

// The day and month names share one table: day of week d at entry d, month m at entry 7 + m.
constexpr int MonthNamesBefore = 7;

void FormatClockLine(const SYSTEMTIME& time, LPWSTR text) {
  const LPCWSTR month = DayAndMonthNames[MonthNamesBefore + time.wMonth];
  const LPCWSTR weekday = DayAndMonthNames[time.wDayOfWeek];
  const int day = time.wDay;
  const int minute = time.wMinute;
  const int hour = time.wHour;
  if (hour == 0) {
    wsprintfW(text, W("  %s.%d %s am12:%02d  "), month, day, weekday, minute);
  } else if (hour < 12) {
    wsprintfW(text, W("  %s.%d %s am%2d:%02d  "), month, day, weekday, hour, minute);
  } else if (hour == 12) {
    wsprintfW(text, W("  %s.%d %s pm%2d:%02d  "), month, day, weekday, 12, minute);
  } else {
    wsprintfW(text, W("  %s.%d %s pm%2d:%02d  "), month, day, weekday, hour - 12, minute);
  }
}

// Reads the local time, keeping the previous minute, and formats the line; returns its colour.
COLORREF ReadClock() {
  Panel.PreviousClockMinute = Panel.ClockTime.wMinute;
  GetLocalTime(&Panel.ClockTime);
  FormatClockLine(Panel.ClockTime, Panel.ClockText);
  return Panel.ClockTime.wMinute == Panel.PreviousClockMinute ? SameMinuteColour : NewMinuteColour;
}

void DrawClockLine(HDC dc, COLORREF colour) {
  SetBkColor(dc, ClockBackground);
  SetTextColor(dc, colour);
  const LOGFONTW font = ClockFont();
  HFONT clock_font = CreateFontIndirectW(&font);
  HGDIOBJ previous_font = SelectObject(dc, clock_font);
  RECT area = {240, 447, 558, 477};
  DrawTextW(dc, Panel.ClockText, -1, &area, DT_CENTER);
  SelectObject(dc, previous_font);
  DeleteObject(clock_font);
}

}  // namespace

void DrawClock(HDC dc) { DrawClockLine(dc, ReadClock()); }

void RefreshClock(HDC back_buffer) {
  const COLORREF colour = ReadClock();
  if (Panel.ClockLineShown && colour == Panel.ClockLineColour &&
      wcscmp(Panel.ClockText, Panel.ClockLineText) == 0) {
    return;
  }
  DrawClockLine(back_buffer, colour);
  Panel.ClockLineShown = true;
  Panel.ClockLineColour = colour;
  wcscpy(Panel.ClockLineText, Panel.ClockText);
}
