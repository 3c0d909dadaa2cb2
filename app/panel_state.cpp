// The one PanelState instance, its constant tables, and the controller key's hand-over.
#include "app/panel_state.h"

#include <new>

PanelState Panel;

const LPCWSTR DayAndMonthNames[20] = {W("Sun"), W("Mon"), W("Tue"), W("Wed"), W("Thu"),
                                      W("Fri"), W("Sat"), W("---"), W("Jan"), W("Feb"),
                                      W("Mar"), W("Apr"), W("May"), W("Jun"), W("Jul"),
                                      W("Aug"), W("Sep"), W("Oct"), W("Nov"), W("Dec")};

const LPCWSTR LinkDeviceNames[5] = {W("DSK1:"), W("DSK2:"), W("DSK3:"), W("DSK4:"), W("DSK5:")};

void HandOverControllerKey(std::uint8_t code) {
  Panel.ControllerKey = code;
  PostMessageW(Panel.MainWindow, WM_CONTROLLER_KEY, 0, 0);
}

void ResetPanelState() {
  // The record holds locks and atomics, so it is rebuilt in place rather than assigned.
  Panel.~PanelState();
  new (&Panel) PanelState();
}
