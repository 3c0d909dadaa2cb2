#include "lcd/screen_paint.h"

#include "app/panel_state.h"
#include "lcd/indicators.h"

constexpr int ScreenWidth = 800;
constexpr int ScreenHeight = 480;

// The canvas rectangle that shows the doubled LCD through the panel's LCD window, and the one
// that shows the natural-size LCD in the compact view's lower right corner.
static void CopyFullPanelLcd(HDC dc) {
  BitBlt(dc, 93, 61, 614, 210, Panel.LcdCanvasDc, 15, 32, SRCCOPY);
}

static void CopyCompactLcd(HDC dc) {
  BitBlt(dc, 470, 360, 320, 110, Panel.LcdCanvasDc, 0, 0, SRCCOPY);
}

static void ComposeFullPanel() {
  BitBlt(Panel.BackBufferDc, 0, 0, ScreenWidth, ScreenHeight, Panel.PanelPictureDc, 0, 0, SRCCOPY);
  DrawAuxIndicator(Panel.BackBufferDc);
  DrawUsbIndicator(Panel.BackBufferDc);
  DrawLinkIndicator(Panel.BackBufferDc);
  CopyFullPanelLcd(Panel.BackBufferDc);
}

static void ComposeCompactView() {
  BitBlt(Panel.BackBufferDc, 0, 0, ScreenWidth, ScreenHeight, Panel.CompactBackgroundDc, 0, 0,
         SRCCOPY);
  CopyCompactLcd(Panel.BackBufferDc);
}

LRESULT PaintPanel(HWND window) {
  PAINTSTRUCT paint = {};
  HDC dc = BeginPaint(window, &paint);
  if (Panel.PanelMode != 0) {
    ComposeFullPanel();
  } else {
    ComposeCompactView();
  }
  BitBlt(dc, 0, 0, ScreenWidth, ScreenHeight, Panel.BackBufferDc, 0, 0, SRCCOPY);
  EndPaint(window, &paint);
  return 0;
}

LRESULT RefreshPanel(HWND) { return 0; }
