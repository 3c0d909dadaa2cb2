#include "lcd/indicators.h"

#include "app/panel_state.h"

// Both indicator pictures hold two frames of 14 rows, one above the other.
constexpr int IndicatorFrameRows = 14;
// The link indicator's frames stand side by side, 15 columns each.
constexpr int LinkFrameColumns = 15;

void DrawAuxIndicator(HDC dc) {
  BitBlt(dc, 176, 16, 52, 14, Panel.AuxIndicatorDc, 0, IndicatorFrameRows * Panel.AuxFlag, SRCCOPY);
}

void DrawUsbIndicator(HDC dc) {
  BitBlt(dc, 269, 16, 72, 14, Panel.UsbIndicatorDc, 0, IndicatorFrameRows * Panel.UsbFlag, SRCCOPY);
}

void DrawLinkIndicator(HDC dc) {
  BitBlt(dc, 780, 470, 15, 10, Panel.LinkIndicatorDc, LinkFrameColumns * Panel.LinkVariant.load(),
         0, SRCCOPY);
}
