// A display backend: how the windows' surfaces reach a screen, how the host's input comes back,
// and what the desktop may ask about our windows there. The backends are one table
// (backend_table.cpp), walked in order by the chooser (display.cpp); each lives in a folder of its
// own and never names another. Headless (memory only) is what remains when none starts. The
// surfaces themselves live in window_surfaces; a backend never owns pixels.
#pragma once

#include <string>
#include <vector>

#include "platform/internal/module_interfaces.h"

namespace platform::display {

// The operations of one backend. A backend with a display thread (the thread its start ran on)
// has its window operations called there only: a show or destroy asked for on another thread
// waits in the display thread's queue (display_thread.cpp), and other threads' windows are never
// shown. Each is called without the surfaces lock held. A null entry answers "no" (or nothing).
struct DisplayBackend {
  // What the start line says the panel runs on ("Wayland", "SDL x11").
  std::string (*description)();
  void (*window_created)(HWND window);
  void (*window_shown)(HWND window, bool visible);
  void (*window_destroyed)(HWND window);
  // Shows the window's dirty rectangles; false when nothing reached the screen.
  bool (*present)(HWND window, const std::vector<RECT>& dirty);
  // The window was brought forward; boxes stay above it, as owned windows stay above their owner.
  void (*raised)(HWND window);
  // Waits up to timeout_ms (negative: no limit) for the host's events or a wake, and turns the
  // events into posted messages.
  void (*wait_events)(int timeout_ms);
  // Ends a wait_events from any thread; a wake before the wait makes the next one return at once.
  void (*wake)();
  // Shows a box for the user and calls MessageBoxAnswered(token) when it was dismissed; returns
  // false when the box cannot be shown (then it counts as answered at once). Null: the display
  // answers its boxes itself, after the delay the tests set.
  bool (*show_message_box)(int token, LPCWSTR text, LPCWSTR caption);

  // The desktop's questions, from any thread. The X11 window that shows one of our windows, or 0;
  // and the way back.
  unsigned long (*host_window_id)(HWND window);
  HWND (*window_of_host_id)(unsigned long host_id);
  // True when our windows are shown where the X server cannot see them (a compositor, a DRM
  // screen): it cannot answer for the foreground then.
  bool (*hidden_from_x_server)();
  // True, with the window of ours that has the keyboard focus (null when none of ours has it),
  // when a keyboard tells the focus; false otherwise.
  bool (*keyboard_focus)(HWND* focused);
};

// One line of the table. start() runs on the thread that creates the first top-level window,
// which becomes the display thread when it succeeds; when it cannot start, it says why in one
// line on standard error (once, however often it is tried) and returns false.
struct DisplayBackendEntry {
  const char* name;
  bool (*start)();
  const DisplayBackend& (*operations)();
};

// The real displays, in the order they are tried.
const std::vector<DisplayBackendEntry>& DisplayBackends();

const DisplayBackend& HeadlessBackend();

// When DISPLAY, WAYLAND_DISPLAY or SDL_VIDEODRIVER asks for a display that start() could not
// open, says so once and calls start() each second until it succeeds; then true. False at once
// when no display is asked for.
bool WaitForRequestedDisplay(bool (*start)());

// The backend in use; decided at the first top-level window.
const DisplayBackend& ActiveBackend();
bool HeadlessForced();
// QUELT_FULLSCREEN=1: a window covers the screen, its picture scaled to fit.
bool FullScreenAsked();

// Called by a backend whose host display went away, after it asked every window to close.
void NoteDisplayLost();

// Message boxes: called by a backend when the user dismissed the box with that token.
void MessageBoxAnswered(int token);

// Pen and key input for one of our windows, posted to it; input for a disabled window (the owner
// of a modal box) goes nowhere, as on Win32. False when nothing was posted.
bool PostInput(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace platform::display
