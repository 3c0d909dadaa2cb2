// The Wayland backend: each top-level window of the display thread is a toplevel of our own on
// the compositor (xdg-shell), drawn through shared-memory buffers (wl_shm); the seats' pointers
// and touch screens come back as button messages in window coordinates, the compositor's close as
// WM_CLOSE. SDL's own Wayland driver is never used: as Debian ships it (2.26) it crashes where the
// compositor offers no seat, and without OpenGL it draws nothing.
//
// Like SDL video it runs on one thread, the one that connected (the thread of the first top-level
// window); windows of other threads keep their surfaces in memory and are never shown, and a show
// or destroy that another thread asks for waits for the display thread. The compositor may offer
// a seat late or never, and may go away: then the backend says so once and closes every window,
// which ends the program as a user's close would; the service that started it starts it again.
// Start reading at StartWaylandBackend, then WaitEvents.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/diagnostics.h"
#include "platform/display/display_backend.h"
#include "platform/display/display_thread.h"
#include "platform/display/host_windows.h"
#include "platform/display/wayland_state.h"
#include "platform/display/window_surfaces.h"

namespace platform::display {
namespace wayland {

WaylandDisplay& Wayland() {
  static WaylandDisplay display;
  return display;
}

void PenOnToplevel(Toplevel* toplevel, Pen pen, POINT pixel) {
  if (!toplevel->window) {
    if (pen == Pen::Up && OnMessageBoxButton(toplevel->box, pixel.x, pixel.y)) {
      AnswerMessageBox(toplevel);
    }
    return;
  }
  // wParam of a button message: which buttons are down (MK_LBUTTON 1).
  const bool down = pen == Pen::Down;
  PostInput(toplevel->window, down ? WM_LBUTTONDOWN : WM_LBUTTONUP, down ? 0x0001 : 0,
            MAKELPARAM(pixel.x, pixel.y));
}

void CloseRequested(Toplevel* toplevel) {
  if (toplevel->window) {
    PostMessageW(toplevel->window, WM_CLOSE, 0, 0);
  } else {
    AnswerMessageBox(toplevel);
  }
}

namespace {

void LoseConnection() {
  WaylandDisplay& display = Wayland();
  display.lost = true;
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
  const char* fullscreen = std::getenv("QUELT_FULLSCREEN");
  toplevel->fullscreen_asked = fullscreen && std::strcmp(fullscreen, "1") == 0;
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

void RunRequests() {
  for (const auto& [window, request] : TakeWindowRequests()) {
    if (request == WindowRequest::Destroy) {
      DestroyWindowToplevel(window);
    } else {
      ShowWindowToplevel(window, request == WindowRequest::Show);
    }
  }
}

void QueueRequest(HWND window, WindowRequest request) {
  QueueWindowRequest(window, request);
  WakeDisplayThread();
}

void WindowCreated(HWND window) {
  if (OnDisplayThread()) CreateToplevelOf(window);
}

void WindowShown(HWND window, bool visible) {
  if (OnDisplayThread()) {
    ShowWindowToplevel(window, visible);
  } else {
    QueueRequest(window, visible ? WindowRequest::Show : WindowRequest::Hide);
  }
}

void WindowDestroyed(HWND window) {
  if (OnDisplayThread()) {
    DestroyWindowToplevel(window);
  } else {
    QueueRequest(window, WindowRequest::Destroy);
  }
}

// The compositor shows what was committed at its next frame; a hidden window shows nothing.
bool Present(HWND window) {
  const std::vector<RECT> dirty = TakeDirty(window);
  if (dirty.empty() || !OnDisplayThread()) return false;
  Toplevel* toplevel = ToplevelOfWindow(window);
  if (!toplevel || !toplevel->shown || Wayland().lost) return false;
  PresentPictureRects(toplevel, dirty);
  Flush();
  return true;
}

// No request brings a toplevel forward; compositors put a newly shown one on top and give it the
// focus, so one that is shown but not in front is shown anew. One that waits for its first
// configure is about to be shown anyway.
void Raised(HWND window) {
  if (!OnDisplayThread() || Wayland().lost) return;
  WaylandDisplay& display = Wayland();
  Toplevel* toplevel = ToplevelOfWindow(window);
  const bool in_front = display.has_keyboard && display.focused_window == window;
  if (toplevel && toplevel->mapped && !in_front) RemapToplevel(toplevel);
  RaiseMessageBoxes();
  Flush();
}

bool PumpsThisThread() { return OnDisplayThread(); }

void WaitEvents(int timeout_ms) {
  RunRequests();
  if (!WaitForCompositor(timeout_ms) && !Wayland().lost) LoseConnection();
  RunRequests();
}

void Wake() { WakeDisplayThread(); }

// Boxes asked for on another thread count as answered (their text is in the log already): the
// display thread alone draws.
bool ShowMessageBox(int token, LPCWSTR text, LPCWSTR caption) {
  if (OnDisplayThread() && !Wayland().lost && OpenMessageBox(token, text, caption)) {
    Flush();
    return true;
  }
  return false;
}

const DisplayBackend kWayland{WindowCreated, WindowShown, WindowDestroyed,
                              Present,       Raised,      PumpsThisThread,
                              WaitEvents,    Wake,        ShowMessageBox};

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
              "cannot show windows on Wayland (" + why_not + "); trying X11 and DRM");
      said = true;
    }
    return false;
  }
  BecomeDisplayThread();
  return true;
}

const DisplayBackend& WaylandBackend() { return wayland::kWayland; }

bool WaylandKeyboardFocus(HWND* focused) {
  if (&ActiveBackend() != &WaylandBackend()) return false;
  const wayland::WaylandDisplay& display = wayland::Wayland();
  if (!display.has_keyboard) return false;
  *focused = display.focused_window;
  return true;
}

}  // namespace platform::display
