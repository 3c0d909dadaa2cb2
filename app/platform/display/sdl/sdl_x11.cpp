// The extras of SDL on an X server: the visual and error handler that let our windows show and
// vanish safely on a bare server, the X11 class and id of each window (another program finds the
// panel by class and title, as on the head unit, and the desktop raises it by id), and our windows
// that another client destroys.
//
// Under X11 another client may destroy one of our windows (xdotool windowclose): the destruction
// comes back as DestroyNotify and becomes DestroyWindow of the window it showed, as a destruction
// on the head unit would; the requests still under way on the dead window fail harmlessly.
#include <SDL_syswm.h>
#include <X11/Xutil.h>

#include <mutex>
#include <string>
#include <utility>

#include "platform/display/sdl/sdl_state.h"
#include "platform/internal/module_interfaces.h"

namespace platform::display::sdl {
namespace {

// Read by the desktop from any thread.
std::mutex host_ids_lock;
std::map<HWND, unsigned long> x11_window_ids;

// SDL's connection to the X server, known from its first window; display thread.
Display* x11_display = nullptr;

// Display thread only: our windows that another X client destroyed, to be destroyed in core once
// SDL's events are in.
std::vector<HWND> destroyed_by_others;

// Xlib's default answer to a protocol error ends the process with 1. Our windows can vanish
// under a request at any moment (another client destroys them); such a request simply did
// nothing, and the destruction itself arrives as DestroyNotify.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

}  // namespace

// SDL prefers a DirectColor visual where the X server offers one; its colours go through a
// colormap that nothing installs without a window manager, and such a window shows black. The
// server's default visual (TrueColor everywhere today) needs no colormap.
void PrepareX11() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return;
  const VisualID visual = XVisualIDFromVisual(DefaultVisual(display, DefaultScreen(display)));
  XCloseDisplay(display);
  SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, std::to_string(visual).c_str());
}

void WatchX11() {
  // After SDL's own handler, which restores the screen mode and then exits as Xlib's does.
  XSetErrorHandler(IgnoreXError);
  EndProcessWhenXServerLost();
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

void NameHostWindow(HWND window, SDL_Window* sdl_window) {
  WindowInfo info{};
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!DescribeWindow(window, &info) || !SDL_GetWindowWMInfo(sdl_window, &wm) ||
      wm.subsystem != SDL_SYSWM_X11) {
    return;
  }
  x11_display = wm.info.x11.display;
  std::string class_name = Utf8FromWide(info.class_name);
  XClassHint hint{class_name.data(), class_name.data()};
  XSetClassHint(wm.info.x11.display, wm.info.x11.window, &hint);
  XFlush(wm.info.x11.display);
  std::lock_guard<std::mutex> hold(host_ids_lock);
  x11_window_ids[window] = wm.info.x11.window;
}

int X11Socket() { return x11_display ? ConnectionNumber(x11_display) : -1; }

bool X11EventsReadAhead() {
  if (!x11_display) return false;
  XFlush(x11_display);
  return XEventsQueued(x11_display, QueuedAlready) > 0;
}

void ForgetHostWindow(HWND window) {
  std::lock_guard<std::mutex> hold(host_ids_lock);
  x11_window_ids.erase(window);
}

unsigned long HostWindowId(HWND window) {
  std::lock_guard<std::mutex> hold(host_ids_lock);
  const auto found = x11_window_ids.find(window);
  return found == x11_window_ids.end() ? 0 : found->second;
}

HWND WindowOfHostId(unsigned long host_id) {
  std::lock_guard<std::mutex> hold(host_ids_lock);
  for (const auto& [window, id] : x11_window_ids) {
    if (id == host_id) return window;
  }
  return nullptr;
}

void NoteDestroyedByOthers(const SDL_SysWMmsg& message) {
  if (message.subsystem != SDL_SYSWM_X11 || message.msg.x11.event.type != DestroyNotify) return;
  // Our own SDL_DestroyWindow comes back here too, after the window left the table.
  if (HWND window = WindowOfHostId(message.msg.x11.event.xdestroywindow.window)) {
    destroyed_by_others.push_back(window);
  }
}

// WM_DESTROY runs the window's procedure, and its SDL window goes.
void DestroyWindowsDestroyedByOthers() {
  for (HWND window : std::exchange(destroyed_by_others, {})) DestroyWindow(window);
}

}  // namespace platform::display::sdl
