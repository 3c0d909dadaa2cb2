#include "panel/display_preferences.h"

#include "app/panel_state.h"

constexpr std::int32_t LastLcdColour = 4;

static void RequestRefresh() { PostMessageW(Panel.MainWindow, WM_PANEL_REFRESH, 0, 0); }

void ToggleAuxFlag() {
  Panel.AuxFlag = Panel.AuxFlag == 0 ? 1 : 0;
  RequestRefresh();
  Panel.PollsSinceChange = 0;
}

void ToggleUsbFlag() {
  Panel.UsbFlag = Panel.UsbFlag == 0 ? 1 : 0;
  RequestRefresh();
  Panel.PollsSinceChange = 0;
  if (Panel.UsbFlag == 0) Panel.HeartbeatCount = 0;
}

void AdvanceLcdColour() {
  // A value outside 0 to 4 (negative, or too large) falls back into the cycle: below 0 goes to 1,
  // above 4 to 0.
  const std::int32_t index = Panel.LcdColourIndex;
  Panel.LcdColourIndex = index < 1 ? 1 : (index < LastLcdColour ? index + 1 : 0);
  RequestRefresh();
  Panel.PollsSinceChange = 0;
}

void ToggleLcdFillStyle() {
  Panel.LcdFillStyle = Panel.LcdFillStyle == 1 ? 0 : 1;
  RequestRefresh();
}
