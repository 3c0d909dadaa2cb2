// A display backend: how the windows' surfaces reach a screen and how the host's input comes
// back. Four exist: Wayland (a compositor's screen), SDL2 (X11), DRM (the kernel's screen, no
// display server) and headless (memory only). The surfaces themselves live in window_surfaces; a
// backend never owns pixels.
#pragma once

#include <string>

#include "platform/internal/module_interfaces.h"

namespace platform::display {

struct DisplayBackend {
  // Each is called on the window's own thread, after the record was created or changed and
  // without the surfaces lock held.
  void (*window_created)(HWND window);
  void (*window_shown)(HWND window, bool visible);
  void (*window_destroyed)(HWND window);
  // Shows the window's dirty rectangle; false when nothing reached the screen.
  bool (*present)(HWND window);
  // The window was brought forward; boxes stay above it, as owned windows stay above their owner.
  void (*raised)(HWND window);
  bool (*pumps_this_thread)();
  void (*wait_events)(int timeout_ms);
  void (*wake)();
  // Shows a box for the user and calls MessageBoxAnswered(token) when it was dismissed; returns
  // false when the box cannot be shown (then it counts as answered at once).
  bool (*show_message_box)(int token, LPCWSTR text, LPCWSTR caption);
};

const DisplayBackend& HeadlessBackend();
// Starts SDL video on the calling thread, which becomes the display thread. False when SDL finds
// no display; the reason is in SDL_GetError().
bool StartSdlBackend();
const DisplayBackend& SdlBackend();
// Connects to the Wayland compositor on the calling thread, which becomes the display thread.
// False, said in one line on standard error, when none answers with what the backend needs.
bool StartWaylandBackend();
const DisplayBackend& WaylandBackend();
// Lights a screen of the kernel's (DRM/KMS) on the calling thread, which becomes the display
// thread: when no other display is named and a card is there (or QUELT_DRM_DEVICE names one).
// False, said in one line on standard error when a card was there but could not be used.
bool StartDrmBackend();
const DisplayBackend& DrmBackend();
// The card, the mode and the way changes reach the screen, for the start line.
std::string DrmBackendDescription();

// When DISPLAY, WAYLAND_DISPLAY or SDL_VIDEODRIVER asks for a display that start() could not
// open (for the reason given), says so once and calls start() each second until it succeeds;
// then true. False at once when no display is asked for.
bool WaitForRequestedDisplay(bool (*start)(), const char* reason);

// The backend in use; decided at the first top-level window.
const DisplayBackend& ActiveBackend();
bool HeadlessForced();

// Message boxes: called by a backend when the user dismissed the box with that token.
void MessageBoxAnswered(int token);

// Pen and key input for one of our windows, posted to it; input for a disabled window (the owner
// of a modal box) goes nowhere, as on Win32. False when nothing was posted.
bool PostInput(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace platform::display
