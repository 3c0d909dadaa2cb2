// MainWindowProc: every message of the table goes to its handler, whose answer is returned; every
// other message goes to DefWindowProcW. Each handler belongs to the subsystem the message concerns.
#include "app/main_window.h"

#include "app/panel_state.h"
#include "app/shut_down.h"
#include "lcd/screen_paint.h"
#include "panel/controller_keys.h"
#include "panel/touch_panel.h"
#include "settings/settings_file.h"

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

// Neither accelerator has a visible effect: Ctrl+A's command is answered here, Ctrl+Q's (and any
// other) goes to the default procedure.
static LRESULT OnCommand(HWND window, WPARAM wparam, LPARAM lparam) {
  if (LOWORD(wparam) == IgnoredCommand) return 0;
  return DefWindowProcW(window, WM_COMMAND, wparam, lparam);
}

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

// The whole dispatch of the main window, by the subsystem that each message concerns.
static const MessageHandler MessageHandlers[] = {
    {WM_CREATE, OnCreate},                        // the shell: timers 1 and 2
    {WM_DESTROY, OnDestroy},                      // the shell: shut-down
    {WM_PAINT, OnPaint},                          // screen
    {WM_COMMAND, OnCommand},                      // accelerators
    {WM_TIMER, OnTimer},                          // heartbeat, autosave, touch repeat
    {WM_LBUTTONDOWN, OnLeftButtonDown},           // touch panel
    {WM_LBUTTONUP, OnLeftButtonUp},               // touch panel
    {WM_RBUTTONUP, Ignore},                       // answered, nothing done
    {WM_PANEL_REFRESH, OnPanelRefresh},           // screen
    {WM_CONTROLLER_KEY, OnControllerKeyMessage},  // controller keys
};

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  for (const MessageHandler& handler : MessageHandlers) {
    if (handler.message == message) return handler.handle(window, wparam, lparam);
  }
  return DefWindowProcW(window, message, wparam, lparam);
}
