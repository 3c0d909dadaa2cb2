// Screen composition. Everything is drawn into the BackBuffer first and the BackBuffer reaches
// the window in one piece; only the lamp of a held button is drawn on the window itself, on top
// of a finished copy. A refresh of the view last refreshed renders and copies only the LCD rows
// that changed and draws the clock line only when it changed, so an unchanged frame draws
// nothing. Start reading at PaintPanel and RefreshPanel.
#include "lcd/screen_paint.h"

#include <algorithm>
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

// A screen rectangle that shows the canvas, and the canvas pixel at its top left.
struct LcdWindow {
  int x, y, width, height, canvas_x, canvas_y;
};

// The canvas rectangle that shows the doubled LCD through the panel's LCD window.
constexpr LcdWindow FullPanelLcd = {93, 61, 614, 210, 15, 32};
// The one that shows the natural-size LCD in the compact view's lower right corner.
constexpr LcdWindow CompactLcd = {470, 360, 320, 110, 0, 0};

void CopyLcd(HDC dc, const LcdWindow& lcd) {
  BitBlt(dc, lcd.x, lcd.y, lcd.width, lcd.height, Panel.LcdCanvasDc, lcd.canvas_x, lcd.canvas_y,
         SRCCOPY);
}

// The part of that copy that shows a rectangle of the canvas.
void CopyLcdPart(HDC dc, const LcdWindow& lcd, const RECT& canvas_rect) {
  const LONG left = std::max<LONG>(canvas_rect.left, lcd.canvas_x);
  const LONG top = std::max<LONG>(canvas_rect.top, lcd.canvas_y);
  const LONG right = std::min<LONG>(canvas_rect.right, lcd.canvas_x + lcd.width);
  const LONG bottom = std::min<LONG>(canvas_rect.bottom, lcd.canvas_y + lcd.height);
  if (right <= left || bottom <= top) return;
  BitBlt(dc, lcd.x + (left - lcd.canvas_x), lcd.y + (top - lcd.canvas_y), right - left,
         bottom - top, Panel.LcdCanvasDc, left, top, SRCCOPY);
}

void DrawIndicators(HDC dc) {
  DrawAuxIndicator(dc);
  DrawUsbIndicator(dc);
  DrawLinkIndicator(dc);
}

// A refresh draws the indicators only when one of them shows another frame than the BackBuffer
// holds.
void RefreshIndicators() {
  const std::uint8_t link_variant = Panel.LinkVariant.load();
  if (Panel.IndicatorsShown && Panel.ShownAuxFlag == Panel.AuxFlag &&
      Panel.ShownUsbFlag == Panel.UsbFlag && Panel.ShownLinkVariant == link_variant) {
    return;
  }
  DrawIndicators(Panel.BackBufferDc);
  Panel.IndicatorsShown = true;
  Panel.ShownAuxFlag = Panel.AuxFlag;
  Panel.ShownUsbFlag = Panel.UsbFlag;
  Panel.ShownLinkVariant = link_variant;
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

// The whole BackBuffer is drawn again: what it showed of the LCD, the indicators and the clock
// line is gone, so the next refresh draws each of them again.
void ForgetBackBuffer() {
  Panel.LcdCanvasRendering = NoLcdRendering;
  Panel.IndicatorsShown = false;
  Panel.ClockLineShown = false;
}

void ComposeFullPanel() {
  ForgetBackBuffer();
  BitBlt(Panel.BackBufferDc, 0, 0, ScreenWidth, ScreenHeight, Panel.PanelPictureDc, 0, 0, SRCCOPY);
  DrawIndicators(Panel.BackBufferDc);
  CopyLcd(Panel.BackBufferDc, FullPanelLcd);
}

void ComposeCompactView() {
  ForgetBackBuffer();
  CopyCompactBackground(Panel.BackBufferDc, 0, 0);
  CopyLcd(Panel.BackBufferDc, CompactLcd);
}

void FillFullPanelBackdrop() {
  FillBackdrop(Panel.PanelPictureDc, FullPanelBackdropX, FullPanelBackdropY);
}

void FillCompactBackdrop() {
  CopyCompactBackground(Panel.LcdBackdropDc, CompactBackdropX, CompactBackdropY);
}

// Brings the view's LCD in the BackBuffer up to date. When the canvas holds this view's rendering
// already, over the same backdrop, only the rows that changed are rendered and copied; otherwise
// the backdrop is filled, the whole LCD rendered and copied.
void UpdateLcd(std::uint8_t rendering, const LcdWindow& lcd, void (*fill_backdrop)(),
               BOOL (*composite)()) {
  if (LcdCanvasHolds(rendering)) {
    for (const RECT& rect : CompositeLcdChanges()) CopyLcdPart(Panel.BackBufferDc, lcd, rect);
    return;
  }
  fill_backdrop();
  composite();
  CopyLcd(Panel.BackBufferDc, lcd);
}

// Only the LCD rectangle and the indicators change; the panel picture and the clock line stay in
// the BackBuffer as they were. The clock is written after the copy to the window, so each clock
// line reaches the screen with the next refresh.
void RefreshFullPanel(HDC window_dc) {
  UpdateLcd(FullPanelLcdRendering, FullPanelLcd, FillFullPanelBackdrop, CompositeLcdFull);
  RefreshIndicators();
  ShowBackBuffer(window_dc);
  // The lamp of a button still held would otherwise be covered by the copy.
  DrawButtonPressed(window_dc);
  RefreshClock(Panel.BackBufferDc);
}

// The compact LCD covers part of the clock line's rectangle in the BackBuffer.
void RefreshCompactView(HDC window_dc) {
  Panel.ClockLineShown = false;
  UpdateLcd(CompactLcdRendering, CompactLcd, FillCompactBackdrop, CompositeLcdCompact);
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
