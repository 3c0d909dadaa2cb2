#include "panel/panel_view.h"

#include "app/panel_state.h"

std::uint8_t OtherPanelMode() {
  return Panel.PanelMode == FullPanelMode ? CompactViewMode : FullPanelMode;
}

void SwitchPanelMode(std::uint8_t mode, DWORD pause_ms) {
  Panel.PanelMode = mode;
  PostMessageW(Panel.MainWindow, WM_PAINT, 0, 0);
  Sleep(pause_ms);
  PostMessageW(Panel.MainWindow, WM_PANEL_REFRESH, 0, 0);
  Panel.PollsSinceChange = 0;
}
