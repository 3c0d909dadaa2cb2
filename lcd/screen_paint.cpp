// Screen composition. Everything is drawn into the BackBuffer first and the BackBuffer reaches
// the window in one piece; only the lamp of a held button is drawn on the window itself, on top
// of a finished copy. Start reading at PaintPanel and RefreshPanel.
#include "lcd/screen_paint.h"

#include <cstring>

#include "app/panel_state.h"
#include "lcd/clock_line.h"
#include "lcd/indicators.h"
#include "lcd/lcd_compositing.h"
#include "panel/button_lamps.h"

namespace {

// The backdrop is filled from the background picture shifted by the distance between a canvas
// pixel and the place where it lands on screen (93 - 15, 61 - 32 and 470 - 0, 360 - 0), so that
// every dark LCD pixel shows exactly the background under it.
constexpr int FullPanelBackdropX = 78;
constexpr int FullPanelBackdropY = 29;
constexpr int CompactBackdropX = 470;
constexpr int CompactBackdropY = 360;

// The canvas rectangle that shows the doubled LCD through the panel's LCD window.
void CopyFullPanelLcd(HDC dc) { BitBlt(dc, 93, 61, 614, 210, Panel.LcdCanvasDc, 15, 32, SRCCOPY); }

// The one that shows the natural-size LCD in the compact view's lower right corner.
void CopyCompactLcd(HDC dc) { BitBlt(dc, 470, 360, 320, 110, Panel.LcdCanvasDc, 0, 0, SRCCOPY); }

void DrawIndicators(HDC dc) {
  DrawAuxIndicator(dc);
  DrawUsbIndicator(dc);
  DrawLinkIndicator(dc);
}

void ShowBackBuffer(HDC dc) {
  BitBlt(dc, 0, 0, ScreenWidth, ScreenHeight, Panel.BackBufferDc, 0, 0, SRCCOPY);
}

void FillBackdrop(HDC picture, int source_x, int source_y) {
  BitBlt(Panel.LcdBackdropDc, 0, 0, ScreenWidth, ScreenHeight, picture, source_x, source_y,
         SRCCOPY);
}

// The compact background is whatever picture the user put on the storage card, and may have
// failed to load; the compact view then shows the LCD on black rather than on what the
// BackBuffer and the backdrop held from the full panel.
void BlackenBackdrop() {
  const BITMAP& backdrop = Panel.LcdBackdropHeader;
  if (!Panel.LcdBackdropDib || !backdrop.bmBits || backdrop.bmHeight <= 0) return;
  std::memset(backdrop.bmBits, 0,
              static_cast<std::size_t>(backdrop.bmWidthBytes) * backdrop.bmHeight);
}

void CopyCompactBackground(HDC dc, int source_x, int source_y) {
  if (BitBlt(dc, 0, 0, ScreenWidth, ScreenHeight, Panel.CompactBackgroundDc, source_x, source_y,
             SRCCOPY)) {
    return;
  }
  BlackenBackdrop();
  if (dc != Panel.LcdBackdropDc) {
    BitBlt(dc, 0, 0, ScreenWidth, ScreenHeight, Panel.LcdBackdropDc, 0, 0, SRCCOPY);
  }
}

void ComposeFullPanel() {
  BitBlt(Panel.BackBufferDc, 0, 0, ScreenWidth, ScreenHeight, Panel.PanelPictureDc, 0, 0, SRCCOPY);
  DrawIndicators(Panel.BackBufferDc);
  CopyFullPanelLcd(Panel.BackBufferDc);
}

void ComposeCompactView() {
  CopyCompactBackground(Panel.BackBufferDc, 0, 0);
  CopyCompactLcd(Panel.BackBufferDc);
}

// Only the LCD rectangle and the indicators change; the panel picture and the clock line stay in
// the BackBuffer as they were. The clock is written after the copy to the window, so each clock
// line reaches the screen with the next refresh.
void RefreshFullPanel(HDC window_dc) {
  FillBackdrop(Panel.PanelPictureDc, FullPanelBackdropX, FullPanelBackdropY);
  CompositeLcdFull();
  CopyFullPanelLcd(Panel.BackBufferDc);
  DrawIndicators(Panel.BackBufferDc);
  ShowBackBuffer(window_dc);
  // The lamp of a button still held would otherwise be covered by the copy.
  DrawButtonPressed(window_dc);
  DrawClock(Panel.BackBufferDc);
}

void RefreshCompactView(HDC window_dc) {
  CopyCompactBackground(Panel.LcdBackdropDc, CompactBackdropX, CompactBackdropY);
  CompositeLcdCompact();
  CopyCompactLcd(Panel.BackBufferDc);
  ShowBackBuffer(window_dc);
}

}  // namespace

LRESULT PaintPanel(HWND window) {
  PAINTSTRUCT paint = {};
  HDC dc = BeginPaint(window, &paint);
  if (Panel.PanelMode != CompactViewMode) {
    ComposeFullPanel();
  } else {
    ComposeCompactView();
  }
  ShowBackBuffer(dc);
  EndPaint(window, &paint);
  return 0;
}

LRESULT RefreshPanel(HWND window) {
  HDC dc = GetDC(window);
  if (Panel.PanelMode != CompactViewMode) {
    RefreshFullPanel(dc);
  } else {
    RefreshCompactView(dc);
  }
  ReleaseDC(window, dc);
  return 0;
}
