#include "panel/window_visibility.h"

#include "app/panel_state.h"

bool PanelInFront() { return GetForegroundWindow() == Panel.MainWindow; }

void ShowPanel() {
  Panel.StreamMode = 1;
  ShowWindow(Panel.MainWindow, SW_SHOW);
  UpdateWindow(Panel.MainWindow);
  SetForegroundWindow(Panel.MainWindow);
}

void HidePanel() {
  ShowWindow(Panel.MainWindow, SW_HIDE);
  Panel.HeartbeatCount = 0;
}
