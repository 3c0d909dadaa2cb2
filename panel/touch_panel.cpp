// Touch handling on the main thread. The repeat re-runs the hit map at the pen-down position, as
// the finger's movement is not tracked. Start reading at OnPenDown.
#include "panel/touch_panel.h"

#include "app/panel_state.h"
#include "link/command_queue.h"
#include "panel/button_lamps.h"
#include "panel/display_preferences.h"
#include "panel/hit_map.h"
#include "panel/panel_view.h"
#include "panel/window_visibility.h"

// The compact view's LCD sits in the bottom-right corner beyond these lines.
constexpr std::uint32_t CompactLcdMinX = 471;
constexpr std::uint32_t CompactLcdMinY = 351;

// A touch on the compact LCD lights nothing but counts as this button, so that its pen-up sends
// a release.
constexpr int ColourSegmentButton = 29;
constexpr int NaviButton = 25;
// The USB indicator only changes the panel's own display; the controller saw no key to release.
constexpr int UsbIndicatorButton = 27;

static void StorePenPosition(LPARAM position) {
  Panel.PenX = LOWORD(position);
  Panel.PenY = HIWORD(position);
}

static void TouchCompactView() {
  if (Panel.PenX < CompactLcdMinX || Panel.PenY < CompactLcdMinY) {
    SwitchPanelMode(FullPanelMode, LeaveCompactViewPauseMs);
    return;
  }
  AdvanceLcdColour();
  Panel.ButtonId = ColourSegmentButton;
}

void OnPenDown(LPARAM position) {
  StorePenPosition(position);
  HDC dc = GetDC(Panel.MainWindow);
  if (Panel.PanelMode == FullPanelMode) {
    HitTestPanel(dc);
  } else {
    TouchCompactView();
  }
  ReleaseDC(Panel.MainWindow, dc);
  SetTimer(Panel.MainWindow, TIMER_TOUCH_REPEAT, TouchRepeatPeriodMs, nullptr);
}

void OnTouchRepeat() {
  KillTimer(Panel.MainWindow, TIMER_TOUCH_REPEAT);
  if (Panel.PanelMode == FullPanelMode) {
    HDC dc = GetDC(Panel.MainWindow);
    HitTestPanel(dc);
    ReleaseDC(Panel.MainWindow, dc);
  }
  SetTimer(Panel.MainWindow, TIMER_TOUCH_REPEAT, TouchRepeatPeriodMs, nullptr);
}

void OnPenUp(LPARAM position) {
  KillTimer(Panel.MainWindow, TIMER_TOUCH_REPEAT);
  StorePenPosition(position);
  if (Panel.ButtonId != 0 && Panel.ButtonId != UsbIndicatorButton) {
    QueueCommand(BlankCommandPacket);
  }
  if (Panel.ButtonId == NaviButton && PanelInFront()) HidePanel();
  if (Panel.PanelMode == FullPanelMode) {
    HDC dc = GetDC(Panel.MainWindow);
    DrawButtonReleased(dc);
    ReleaseDC(Panel.MainWindow, dc);
  }
}
