// MainWindowProc: every message of the dispatch table is handled and answered with 0; all others
// go to DefWindowProcW.
#include "app/main_window.h"

#include "app/panel_state.h"
#include "app/shut_down.h"
#include "lcd/screen_paint.h"
#include "panel/controller_keys.h"
#include "panel/touch_panel.h"
#include "settings/settings_file.h"

constexpr UINT HeartbeatPeriodMs = 400;
constexpr UINT AutosavePeriodMs = 5100;
// Ctrl+A gives this command; it has no visible effect.
constexpr WORD IgnoredCommand = 40002;

struct TimerHandler {
  UINT_PTR id;
  void (*handle)();
};

static const TimerHandler TimerHandlers[] = {
    {TIMER_HEARTBEAT, OnHeartbeat},
    {TIMER_AUTOSAVE, OnAutosave},
    {TIMER_TOUCH_REPEAT, OnTouchRepeat},
};

static LRESULT OnCreate(HWND window, WPARAM, LPARAM) {
  SetTimer(window, TIMER_HEARTBEAT, HeartbeatPeriodMs, nullptr);
  SetTimer(window, TIMER_AUTOSAVE, AutosavePeriodMs, nullptr);
  return 0;
}

static LRESULT OnDestroy(HWND, WPARAM, LPARAM) {
  ShutDownOnDestroy();
  return 0;
}

static LRESULT OnPaint(HWND window, WPARAM, LPARAM) { return PaintPanel(window); }

static LRESULT OnTimer(HWND, WPARAM id, LPARAM) {
  for (const TimerHandler& timer : TimerHandlers) {
    if (timer.id == id) timer.handle();
  }
  return 0;
}

static LRESULT OnLeftButtonDown(HWND, WPARAM, LPARAM position) {
  OnPenDown(position);
  return 0;
}

static LRESULT OnLeftButtonUp(HWND, WPARAM, LPARAM position) {
  OnPenUp(position);
  return 0;
}

static LRESULT Ignore(HWND, WPARAM, LPARAM) { return 0; }

static LRESULT OnPanelRefresh(HWND window, WPARAM, LPARAM) { return RefreshPanel(window); }

static LRESULT OnControllerKeyMessage(HWND, WPARAM, LPARAM) {
  OnControllerKey();
  return 0;
}

struct MessageHandler {
  UINT message;
  LRESULT (*handle)(HWND, WPARAM, LPARAM);
};

static const MessageHandler MessageHandlers[] = {
    {WM_CREATE, OnCreate},
    {WM_DESTROY, OnDestroy},
    {WM_PAINT, OnPaint},
    {WM_TIMER, OnTimer},
    {WM_LBUTTONDOWN, OnLeftButtonDown},
    {WM_LBUTTONUP, OnLeftButtonUp},
    {WM_RBUTTONUP, Ignore},
    {WM_PANEL_REFRESH, OnPanelRefresh},
    {WM_CONTROLLER_KEY, OnControllerKeyMessage},
};

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND) {
    if (LOWORD(wparam) == IgnoredCommand) return 0;
    return DefWindowProcW(window, message, wparam, lparam);
  }
  for (const MessageHandler& handler : MessageHandlers) {
    if (handler.message == message) {
      handler.handle(window, wparam, lparam);
      return 0;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}
