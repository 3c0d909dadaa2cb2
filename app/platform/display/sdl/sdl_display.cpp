// The SDL2 backend: each top-level window of the display thread is a borderless SDL window of its
// size and position (sdl_present.cpp shows its pixels); SDL's mouse, touch, key and window events
// come back as posted messages (sdl_input.cpp); on X11 the windows get their class and id, and
// their destruction by another client is followed (sdl_x11.cpp). A full-screen window takes the
// screen's own size, its picture scaled to fit.
//
// SDL video runs on one thread only, the one that started it (the thread of the first top-level
// window). Start reading at StartSdlBackend, then WaitEvents.
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/diagnostics.h"
#include "platform/display/display_backend.h"
#include "platform/display/display_thread.h"
#include "platform/display/sdl/sdl_message_box.h"
#include "platform/display/sdl/sdl_state.h"
#include "platform/display/wake_pipe.h"
#include "platform/display/window_surfaces.h"

namespace platform::display {
namespace sdl {

std::map<HWND, SDL_Window*>& SdlWindows() {
  static std::map<HWND, SDL_Window*> windows;
  return windows;
}

HWND WindowOfSdlId(Uint32 id) {
  SDL_Window* window = SDL_GetWindowFromID(id);
  for (const auto& [handle, sdl_window] : SdlWindows()) {
    if (sdl_window == window) return handle;
  }
  return nullptr;
}

namespace {

Uint32 wake_event_type = 0;
std::atomic<bool> wake_queued{false};
std::atomic<bool> driver_is_x11{false};
std::atomic<bool> polls_x11{false};  // the display thread polls the X11 socket and wake_pipe
WakePipe wake_pipe;

std::string Describe() { return std::string("SDL ") + SDL_GetCurrentVideoDriver(); }

void CreateSdlWindow(HWND window) {
  RECT rect;
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    const WindowRecord* record = FindWindowRecord(window);
    if (!record || !record->top_level) return;
    rect = RECT{record->rect.left, record->rect.top, record->rect.left + record->width,
                record->rect.top + record->height};
  }
  WindowInfo info{};
  if (!DescribeWindow(window, &info)) return;
  Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN;
  // Full screen at the screen's own size, and of that size from the start: without a window
  // manager nobody resizes it. A screen that is not the window's size shows the window scaled to
  // fit, and a panel shows no pointer.
  const bool full_screen = FullScreenAsked();
  SDL_Rect screen;
  if (full_screen && SDL_GetDisplayBounds(0, &screen) == 0) {
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    rect = RECT{screen.x, screen.y, screen.x + screen.w, screen.y + screen.h};
  }
  SDL_Window* sdl_window = SDL_CreateWindow(Utf8FromWide(info.title).c_str(), rect.left, rect.top,
                                            std::max<LONG>(rect.right - rect.left, 1),
                                            std::max<LONG>(rect.bottom - rect.top, 1), flags);
  if (!sdl_window) {
    LogLine(LogPriority::Error,
            std::string("cannot create a window on the display: ") + SDL_GetError());
    return;
  }
  if (full_screen) SDL_ShowCursor(SDL_DISABLE);
  SdlWindows()[window] = sdl_window;
  NameHostWindow(window, sdl_window);
  AdoptFramebuffer(window, sdl_window);
}

void ShowSdlWindow(HWND window, bool visible) {
  const auto found = SdlWindows().find(window);
  if (found == SdlWindows().end()) return;
  if (!visible) {
    SDL_HideWindow(found->second);
    return;
  }
  SDL_ShowWindow(found->second);
  ShowWhole(window, found->second);
  RaiseMessageBoxes();
}

void DestroySdlWindow(HWND window) {
  const auto found = SdlWindows().find(window);
  if (found == SdlWindows().end()) return;
  ForgetFramebuffer(window, found->second);
  SDL_DestroyWindow(found->second);
  SdlWindows().erase(found);
  ForgetHostWindow(window);
}

bool Present(HWND window, const std::vector<RECT>& dirty) {
  const auto found = SdlWindows().find(window);
  return found != SdlWindows().end() && ShowRects(window, found->second, dirty);
}

void Raised(HWND) { RaiseMessageBoxes(); }

bool TakeQueued(SDL_Event* event) {
  return SDL_PeepEvents(event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1;
}

// The first event, or none once the time is up. Only an event in SDL's queue ends SDL's own
// wait, so a wake from another thread would have to travel through the X server and back as a
// client message; on X11 the server's socket and the wake pipe are polled instead. SDL reads the
// socket (a handful of reads, most of them finding nothing) only when the poll found it ready,
// when Xlib has read events ahead into its own queue that the poll cannot see, or when the time
// is up, so that what SDL does on its own clock (a delayed focus change) still happens.
bool FirstEvent(int timeout_ms, SDL_Event* event) {
  if (!polls_x11) {
    return timeout_ms < 0 ? SDL_WaitEvent(event) : SDL_WaitEventTimeout(event, timeout_ms);
  }
  if (TakeQueued(event)) return true;
  if (X11EventsReadAhead()) {
    SDL_PumpEvents();
    if (TakeQueued(event)) return true;
  }
  pollfd waits[] = {{wake_pipe.read_end, POLLIN, 0}, {X11Socket(), POLLIN, 0}};
  // Before SDL has a window the socket is not known yet, and no event of ours can come on it.
  const nfds_t count = waits[1].fd >= 0 ? 2 : 1;
  const int ready = poll(waits, count, timeout_ms < 0 ? -1 : timeout_ms);
  if (ready > 0 && (waits[0].revents & POLLIN)) DrainWakePipe(wake_pipe);
  if (ready <= 0 || waits[1].revents != 0) SDL_PumpEvents();
  return TakeQueued(event);
}

// Handles the event taken and what SDL queued meanwhile; what comes later waits for the next
// wait.
void WaitEvents(int timeout_ms) {
  SDL_Event event;
  if (!FirstEvent(timeout_ms, &event)) return;
  do {
    if (event.type == wake_event_type) {
      wake_queued = false;
    } else {
      HandleEvent(event);
    }
  } while (TakeQueued(&event));
  DestroyWindowsDestroyedByOthers();
}

// At most one wake event waits in SDL's queue; it stays there until the display thread takes it,
// so a wake that comes before the wait still ends it. The wake pipe keeps a wake the same way.
void Wake() {
  if (polls_x11) {
    SendWake(wake_pipe);
    return;
  }
  if (wake_queued.exchange(true)) return;
  SDL_Event event{};
  event.type = wake_event_type;
  if (SDL_PushEvent(&event) != 1) wake_queued = false;
}

bool HiddenFromXServer() { return !driver_is_x11; }

const DisplayBackend kSdl{
    Describe,       CreateSdlWindow,   ShowSdlWindow, DestroySdlWindow,  Present,
    Raised,         WaitEvents,        Wake,          OpenSdlMessageBox, HostWindowId,
    WindowOfHostId, HiddenFromXServer, nullptr};

// SDL's own Wayland driver is never used: as Debian ships it (2.26) it crashes where the
// compositor offers no seat, and without OpenGL it draws nothing. Nor is its KMSDRM driver unless
// SDL_VIDEODRIVER asks for it: as Debian ships it, it needs EGL and GBM, and the DRM display (drm/)
// takes the kernel's screen. X11 (also through Xwayland) is, unless SDL_VIDEODRIVER names a
// driver other than Wayland.
void AvoidSdlWayland() {
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  if (asked && *asked && !std::strstr(asked, "wayland")) return;
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
}

// False, with SDL's reason, when SDL finds no display it can draw on.
bool StartVideo() {
  // Without this SDL draws the window surface through software OpenGL: slow to start, and
  // milliseconds a frame instead of a fraction of one.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // A program that joined the desktop session closes its main window on Ctrl-C and the other
  // stop signals (desktop/session.cpp); SDL would turn them into an SDL_QUIT nobody reads.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // A touch on a window that is not focused yet is a touch all the same: SDL would drop the
  // click that focuses the window.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  PrepareX11();
  AvoidSdlWayland();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  // SDL falls back to drivers that draw nowhere; the headless display serves better then.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
      SDL_GetNumVideoDisplays() < 1) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_SetError("no X11 or KMSDRM display");
    return false;
  }
  return true;
}

}  // namespace
}  // namespace sdl

bool StartSdlBackend() {
  using namespace sdl;
  if (!StartVideo()) {
    // Said once: while the panel waits for its display, this is tried each second.
    static bool said = false;
    if (!said) {
      LogLine(LogPriority::Warning,
              std::string("cannot show windows through SDL (") + SDL_GetError() + ")");
      said = true;
    }
    return false;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  driver_is_x11 = std::strcmp(driver, "x11") == 0;
  // Without the pipe, the X11 display is woken through SDL's queue as the others are.
  polls_x11 = driver_is_x11 && (wake_pipe.read_end >= 0 || OpenWakePipe(&wake_pipe));
  // SDL 2.26 has a software framebuffer for X11 only; elsewhere (KMSDRM) the window surface is
  // drawn through its renderer or not at all.
  if (!driver_is_x11) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "1");
  wake_event_type = SDL_RegisterEvents(1);
  SDL_AddEventWatch(NoteInvalidFramebuffer, nullptr);
  BecomeDisplayThread();
  if (driver_is_x11) WatchX11();
  return true;
}

const DisplayBackend& SdlBackend() { return sdl::kSdl; }

}  // namespace platform::display
