// The Wayland backend: each top-level window of the display thread is a toplevel of our own on
// the compositor (xdg-shell), drawn through shared-memory buffers (wl_shm); the seats' pointers
// and touch screens come back as button messages in window coordinates, the compositor's close as
// WM_CLOSE. It is the platform's own because SDL's Wayland driver, as Debian ships it (2.26),
// crashes where the compositor offers no seat, and without OpenGL draws nothing.
//
// It runs on one thread, the one that connected (the thread of the first top-level
// window); windows of other threads keep their surfaces in memory and are never shown, and a show
// or destroy that another thread asks for waits for the display thread. The compositor may offer
// a seat late or never, and may go away: then the backend says so once and closes every window,
// and the program ends with the status of a lost display; the service that started it starts it
// again.
// Start reading at StartWaylandBackend, then WaitEvents.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/diagnostics.h"
#include "platform/display/display_backend.h"
#include "platform/display/display_thread.h"
#include "platform/display/pen_input.h"
#include "platform/display/wayland/wayland_state.h"
#include "platform/display/window_surfaces.h"

namespace platform::display {
namespace wayland {

WaylandDisplay& Wayland() {
  static WaylandDisplay display;
  return display;
}

void PenOnToplevel(Toplevel* toplevel, PenAction action, double x, double y) {
  if (toplevel->window) {
    ReportPen(toplevel->window, x, y, toplevel->letterbox.area_width,
              toplevel->letterbox.area_height, action);
    return;
  }
  if (action != PenAction::Up) return;
  POINT pixel{};
  PictureOfAreaPoint(toplevel->letterbox, x, y, &pixel);
  if (OnMessageBoxButton(toplevel->box, pixel.x, pixel.y)) AnswerMessageBox(toplevel);
}

void CloseRequested(Toplevel* toplevel) {
  if (toplevel->window) {
    PostMessageW(toplevel->window, WM_CLOSE, 0, 0);
  } else {
    AnswerMessageBox(toplevel);
  }
}

namespace {

// How long asking for the front waits at most for the compositor to tell the keyboard focus.
constexpr int kFocusWaitMs = 250;

void LoseConnection() {
  WaylandDisplay& display = Wayland();
  display.lost = true;
  NoteDisplayLost();
  display.has_keyboard = false;
  display.focused_window = nullptr;
  LogLine(LogPriority::Error, std::string("the Wayland compositor closed the connection (") +
                                  std::strerror(wl_display_get_error(display.connection)) +
                                  "); closing every window");
  std::vector<Toplevel*> boxes;
  for (const auto& toplevel : display.toplevels) {
    if (toplevel->window) {
      PostMessageW(toplevel->window, WM_CLOSE, 0, 0);
    } else {
      boxes.push_back(toplevel.get());
    }
  }
  for (Toplevel* box : boxes) AnswerMessageBox(box);
}

void Flush() { wl_display_flush(Wayland().connection); }

void CreateToplevelOf(HWND window) {
  WindowInfo info{};
  Surface32 surface{};
  if (!DescribeWindow(window, &info) || !info.top_level ||
      !DisplayWindowSurface(window, &surface)) {
    return;
  }
  auto toplevel = std::make_unique<Toplevel>();
  toplevel->window = window;
  toplevel->title = Utf8FromWide(info.title);
  toplevel->picture_width = surface.width;
  toplevel->picture_height = surface.height;
  toplevel->fullscreen_asked = FullScreenAsked();
  AddToplevel(std::move(toplevel));
}

void ShowWindowToplevel(HWND window, bool visible) {
  Toplevel* toplevel = ToplevelOfWindow(window);
  if (!toplevel || Wayland().lost) return;
  ShowToplevel(toplevel, visible);
  if (visible) RaiseMessageBoxes();
  Flush();
}

void DestroyWindowToplevel(HWND window) {
  if (Toplevel* toplevel = ToplevelOfWindow(window)) RemoveToplevel(toplevel);
}

// The compositor shows what was committed at its next frame; a hidden window shows nothing.
bool Present(HWND window, const std::vector<RECT>& dirty) {
  Toplevel* toplevel = ToplevelOfWindow(window);
  if (!toplevel || !toplevel->shown || Wayland().lost) return false;
  PresentPictureRects(toplevel, dirty);
  Flush();
  return true;
}

bool InFront(HWND window) {
  const WaylandDisplay& display = Wayland();
  return display.has_keyboard && display.focused_window == window;
}

// Round trips until the window has the keyboard focus, or until one that began with the window
// mapped came back: the focus a compositor gives for what it saw comes before that answer. Bounded,
// so that a compositor that hangs costs a moment, not the panel.
void AwaitFocus(const Toplevel* toplevel) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFocusWaitMs);
  while (!InFront(toplevel->window) && !Wayland().lost) {
    const bool mapped = toplevel->mapped;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return;
    if (!RoundTrip(static_cast<int>(left))) LoseConnection();
    if (mapped) return;
  }
}

// No request brings a toplevel forward; compositors put a newly shown one on top and give it the
// focus. The answer to who is in front is the compositor's: what it has to say about the focus
// arrives first (when a seat has a keyboard to tell it), and only a window that was on the screen
// already and still is not in front is shown anew, so a window on its way to the screen, or in
// front already, does not flicker.
void Raised(HWND window) {
  if (Wayland().lost) return;
  WaylandDisplay& display = Wayland();
  Toplevel* toplevel = ToplevelOfWindow(window);
  if (toplevel && toplevel->shown) {
    const bool was_mapped = toplevel->mapped;
    if (display.has_keyboard) AwaitFocus(toplevel);
    if (was_mapped && !InFront(window) && !display.lost) {
      RemapToplevel(toplevel);
      if (display.has_keyboard) AwaitFocus(toplevel);
    }
  }
  if (display.lost) return;
  RaiseMessageBoxes();
  Flush();
}

void WaitEvents(int timeout_ms) {
  if (!WaitForCompositor(timeout_ms) && !Wayland().lost) LoseConnection();
}

void Wake() { SendWake(Wayland().wake); }

bool ShowMessageBox(int token, LPCWSTR text, LPCWSTR caption) {
  if (!Wayland().lost && OpenMessageBox(token, text, caption)) {
    Flush();
    return true;
  }
  return false;
}

std::string Describe() { return "Wayland"; }

bool HiddenFromXServer() { return true; }

bool KeyboardFocus(HWND* focused) {
  const WaylandDisplay& display = Wayland();
  if (!display.has_keyboard) return false;
  *focused = display.focused_window;
  return true;
}

const DisplayBackend kWayland{Describe,
                              CreateToplevelOf,
                              ShowWindowToplevel,
                              DestroyWindowToplevel,
                              Present,
                              Raised,
                              WaitEvents,
                              Wake,
                              ShowMessageBox,
                              nullptr,
                              nullptr,
                              HiddenFromXServer,
                              KeyboardFocus};

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// WAYLAND_DISPLAY (or a socket handed over) asks for the compositor, unless SDL_VIDEODRIVER names
// another driver (x11: through Xwayland). A service started without the session's variables finds
// its user's compositor by the default socket, where no X server is named either.
bool WaylandAskedFor() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver && *driver && std::strcmp(driver, "wayland") != 0) return false;
  if (IsSet("WAYLAND_DISPLAY") || IsSet("WAYLAND_SOCKET")) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (IsSet("DISPLAY") || !runtime || !*runtime) return false;
  struct stat socket {};
  return stat((std::string(runtime) + "/wayland-0").c_str(), &socket) == 0 &&
         S_ISSOCK(socket.st_mode);
}

}  // namespace
}  // namespace wayland

bool StartWaylandBackend() {
  if (!wayland::WaylandAskedFor()) return false;
  std::string why_not;
  if (!wayland::ConnectToCompositor(&why_not)) {
    // Said once: while the panel waits for its display, this is tried each second.
    static bool said = false;
    if (!said) {
      LogLine(LogPriority::Warning,
              "cannot show windows on Wayland (" + why_not + "); trying the next display");
      said = true;
    }
    return false;
  }
  BecomeDisplayThread();
  return true;
}

const DisplayBackend& WaylandBackend() { return wayland::kWayland; }

}  // namespace platform::display
