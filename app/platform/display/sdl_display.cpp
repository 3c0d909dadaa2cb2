// The SDL2 backend: each top-level window of the display thread is a borderless SDL window of its
// size and position, updated by software rectangle updates of what changed, straight from the
// SDL window's framebuffer when the window's surface lives there; SDL's mouse, touch, key and
// window events come back as posted messages. A full-screen window on a screen of another size
// shows its picture scaled to fit, and touches map back onto it.
//
// SDL video runs on one thread only, the one that started it (the thread of the first top-level
// window). Windows of other threads keep their surfaces in memory and are never shown; a show or
// destroy that another thread asks for on a display-thread window waits for the display thread.
//
// Under X11 another client may destroy one of our windows (xdotool windowclose): the destruction
// comes back as DestroyNotify and becomes DestroyWindow of the window it showed, as a destruction
// on the head unit would; the requests still under way on the dead window fail harmlessly.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/display/display_backend.h"
#include "platform/display/display_thread.h"
#include "platform/display/host_windows.h"
#include "platform/display/letterbox.h"
#include "platform/display/sdl_message_box.h"
#include "platform/display/window_surfaces.h"

namespace platform::display {
namespace {

Uint32 wake_event_type = 0;
std::atomic<bool> wake_queued{false};
std::atomic<bool> driver_is_not_x11{false};

// Display thread only.
std::map<HWND, SDL_Window*> sdl_windows;
// Our windows that another X client destroyed, to be destroyed in core once SDL's events are in.
std::vector<HWND> destroyed_by_others;
std::map<HWND, Letterbox> placements;
// A pen went down on a bar beside a scaled picture: its pen-up is not the window's either.
bool pen_on_bar = false;

// Read by the desktop from any thread.
std::mutex host_ids_lock;
std::map<HWND, unsigned long> x11_window_ids;

// Whether SDL still holds each window's framebuffer as last returned. Any change of size (even
// back to the same size, as a window manager's placing or a full-screen switch does) invalidates
// it, and the next SDL_GetWindowSurface frees it: pixels lent to it must move out before that.
std::map<SDL_Window*, bool> framebuffer_valid;

// SDL calls this as it queues each event, on the thread that queues it (the display thread for
// window events), while an invalidated framebuffer still exists.
int NoteInvalidFramebuffer(void*, SDL_Event* event) {
  if (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
    if (SDL_Window* sdl_window = SDL_GetWindowFromID(event->window.windowID)) {
      framebuffer_valid[sdl_window] = false;
    }
  }
  return 0;
}

HWND WindowOfSdlId(Uint32 id) {
  SDL_Window* window = SDL_GetWindowFromID(id);
  for (const auto& [handle, sdl_window] : sdl_windows) {
    if (sdl_window == window) return handle;
  }
  return nullptr;
}

bool SameLayout(const SDL_Surface& framebuffer, const WindowRecord& record) {
  return framebuffer.format->format == SDL_PIXELFORMAT_XRGB8888 && framebuffer.w == record.width &&
         framebuffer.h == record.height && framebuffer.pitch == record.width * 4;
}

// The SDL window's framebuffer. When it has the layout of our surfaces it holds the window's
// pixels itself, and showing a rectangle is only telling SDL which one. The surfaces lock must be
// held.
SDL_Surface* Framebuffer(WindowRecord& record, SDL_Window* sdl_window) {
  if (!record.own_pixels && !framebuffer_valid[sdl_window] && !ReclaimPixels(record)) {
    return nullptr;
  }
  SDL_Surface* framebuffer = SDL_GetWindowSurface(sdl_window);
  framebuffer_valid[sdl_window] = framebuffer != nullptr;
  if (framebuffer && SameLayout(*framebuffer, record)) {
    LendPixels(record, static_cast<std::uint32_t*>(framebuffer->pixels));
  }
  return framebuffer;
}

// Where the picture of a window lands when the screen gives it another size (full screen): null
// when it is shown at its own size.
const Letterbox* PlacementOf(HWND window, int picture_width, int picture_height, int area_width,
                             int area_height) {
  if (area_width == picture_width && area_height == picture_height) {
    placements.erase(window);
    return nullptr;
  }
  Letterbox& placement = placements[window];
  if (placement.picture_width != picture_width || placement.picture_height != picture_height ||
      placement.area_width != area_width || placement.area_height != area_height) {
    placement = FitPicture(picture_width, picture_height, area_width, area_height);
  }
  return &placement;
}

// Draws the part of the screen that shows a rectangle of the picture (all of it, bars included,
// for the whole picture) and returns it.
RECT DrawScaled(const Letterbox& placement, const std::uint32_t* picture, const SDL_Surface& target,
                const RECT& rect) {
  const bool whole = rect.left <= 0 && rect.top <= 0 && rect.right >= placement.picture_width &&
                     rect.bottom >= placement.picture_height;
  const RECT area = whole ? RECT{0, 0, placement.area_width, placement.area_height}
                          : AreaOfPictureRect(placement, rect);
  const Uint32 format = target.format->format;
  if (format == SDL_PIXELFORMAT_XRGB8888 || format == SDL_PIXELFORMAT_ARGB8888) {
    DrawLetterboxed(placement, picture, static_cast<std::uint32_t*>(target.pixels),
                    target.pitch / 4, area);
    return area;
  }
  static std::vector<std::uint32_t> scratch;
  scratch.resize(static_cast<std::size_t>(placement.area_width) * placement.area_height);
  DrawLetterboxed(placement, picture, scratch.data(), placement.area_width, area);
  SDL_ConvertPixels(
      area.right - area.left, area.bottom - area.top, SDL_PIXELFORMAT_XRGB8888,
      scratch.data() + static_cast<std::size_t>(area.top) * placement.area_width + area.left,
      placement.area_width * 4, format,
      static_cast<std::uint8_t*>(target.pixels) +
          static_cast<std::size_t>(area.top) * target.pitch +
          static_cast<std::size_t>(area.left) * target.format->BytesPerPixel,
      target.pitch);
  return area;
}

// Shows the rectangles of the window's surface in its SDL window, copying them into the
// framebuffer first unless it holds the pixels already, or drawing them scaled to the screen.
bool ShowRects(HWND window, SDL_Window* sdl_window, const std::vector<RECT>& rects) {
  std::vector<SDL_Rect> shown;
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    WindowRecord* record = FindWindowRecord(window);
    if (!record) return false;
    SDL_Surface* framebuffer = Framebuffer(*record, sdl_window);
    if (!framebuffer) return false;
    const Letterbox* placement =
        PlacementOf(window, record->width, record->height, framebuffer->w, framebuffer->h);
    for (RECT rect : rects) {
      if (placement) {
        rect = DrawScaled(*placement, record->pixels, *framebuffer, rect);
        if (RectIsEmpty(rect)) continue;
      } else {
        rect.right = std::min<LONG>(rect.right, std::min(record->width, framebuffer->w));
        rect.bottom = std::min<LONG>(rect.bottom, std::min(record->height, framebuffer->h));
        if (RectIsEmpty(rect)) continue;
        if (framebuffer->pixels != record->pixels) {
          const std::uint32_t* source =
              record->pixels + static_cast<std::size_t>(rect.top) * record->width + rect.left;
          auto* destination =
              static_cast<std::uint8_t*>(framebuffer->pixels) +
              static_cast<std::size_t>(rect.top) * framebuffer->pitch +
              static_cast<std::size_t>(rect.left) * framebuffer->format->BytesPerPixel;
          SDL_ConvertPixels(rect.right - rect.left, rect.bottom - rect.top,
                            SDL_PIXELFORMAT_XRGB8888, source, record->width * 4,
                            framebuffer->format->format, destination, framebuffer->pitch);
        }
      }
      shown.push_back(
          SDL_Rect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top});
    }
  }
  if (shown.empty()) return false;
  return SDL_UpdateWindowSurfaceRects(sdl_window, shown.data(), static_cast<int>(shown.size())) ==
         0;
}

void ShowWhole(HWND window, SDL_Window* sdl_window) {
  ShowRects(window, sdl_window, {RECT{0, 0, kMaxWindowSide, kMaxWindowSide}});
}

// Another program finds the window by class and title, as it would on the head unit.
void NameHostWindow(HWND window, SDL_Window* sdl_window, const WindowInfo& info) {
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!SDL_GetWindowWMInfo(sdl_window, &wm) || wm.subsystem != SDL_SYSWM_X11) return;
  std::string class_name = Utf8FromWide(info.class_name);
  XClassHint hint{class_name.data(), class_name.data()};
  XSetClassHint(wm.info.x11.display, wm.info.x11.window, &hint);
  XFlush(wm.info.x11.display);
  std::lock_guard<std::mutex> hold(host_ids_lock);
  x11_window_ids[window] = wm.info.x11.window;
}

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
  const char* fullscreen = std::getenv("QUELT_FULLSCREEN");
  Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN;
  // Full screen at the screen's own size, and of that size from the start: without a window
  // manager nobody resizes it. A screen that is not the window's size shows the window scaled to
  // fit (PlacementOf), and a panel shows no pointer.
  const bool full_screen = fullscreen && std::strcmp(fullscreen, "1") == 0;
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
  sdl_windows[window] = sdl_window;
  NameHostWindow(window, sdl_window, info);
  std::lock_guard<std::mutex> hold(SurfacesLock());
  if (WindowRecord* record = FindWindowRecord(window)) Framebuffer(*record, sdl_window);
}

void ShowSdlWindow(HWND window, bool visible) {
  const auto found = sdl_windows.find(window);
  if (found == sdl_windows.end()) return;
  if (!visible) {
    SDL_HideWindow(found->second);
    return;
  }
  SDL_ShowWindow(found->second);
  ShowWhole(window, found->second);
  RaiseMessageBoxes();
}

void DestroySdlWindow(HWND window) {
  const auto found = sdl_windows.find(window);
  if (found == sdl_windows.end()) return;
  {
    // The framebuffer goes with the SDL window; a record that outlives it keeps its pixels.
    std::lock_guard<std::mutex> hold(SurfacesLock());
    if (WindowRecord* record = FindWindowRecord(window)) ReclaimPixels(*record);
  }
  SDL_DestroyWindow(found->second);
  framebuffer_valid.erase(found->second);
  sdl_windows.erase(found);
  placements.erase(window);
  std::lock_guard<std::mutex> hold(host_ids_lock);
  x11_window_ids.erase(window);
}

void QueueRequest(HWND window, WindowRequest request) {
  QueueWindowRequest(window, request);
  SdlBackend().wake();
}

void RunRequests() {
  for (const auto& [window, request] : TakeWindowRequests()) {
    if (request == WindowRequest::Destroy) {
      DestroySdlWindow(window);
    } else {
      ShowSdlWindow(window, request == WindowRequest::Show);
    }
  }
}

// Win32 virtual-key codes of the keys that have one besides letters and digits.
constexpr std::pair<SDL_Keycode, WPARAM> kVirtualKeys[] = {
    {SDLK_BACKSPACE, 0x08}, {SDLK_TAB, 0x09},    {SDLK_RETURN, 0x0D},   {SDLK_ESCAPE, 0x1B},
    {SDLK_SPACE, 0x20},     {SDLK_PAGEUP, 0x21}, {SDLK_PAGEDOWN, 0x22}, {SDLK_END, 0x23},
    {SDLK_HOME, 0x24},      {SDLK_LEFT, 0x25},   {SDLK_UP, 0x26},       {SDLK_RIGHT, 0x27},
    {SDLK_DOWN, 0x28},      {SDLK_INSERT, 0x2D}, {SDLK_DELETE, 0x2E},   {SDLK_LSHIFT, 0x10},
    {SDLK_RSHIFT, 0x10},    {SDLK_LCTRL, 0x11},  {SDLK_RCTRL, 0x11},    {SDLK_LALT, 0x12},
    {SDLK_RALT, 0x12},      {SDLK_F1, 0x70},     {SDLK_F2, 0x71},       {SDLK_F3, 0x72},
    {SDLK_F4, 0x73},        {SDLK_F5, 0x74},     {SDLK_F6, 0x75},       {SDLK_F7, 0x76},
    {SDLK_F8, 0x77},        {SDLK_F9, 0x78},     {SDLK_F10, 0x79},      {SDLK_F11, 0x7A},
    {SDLK_F12, 0x7B},
};

WPARAM VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  for (const auto& [sdl_key, virtual_key] : kVirtualKeys) {
    if (sdl_key == key) return virtual_key;
  }
  return 0;
}

// Repeat count 1, and the modifiers held, in the bits core reads them from.
LPARAM KeyParameter(Uint16 modifiers) {
  LPARAM parameter = 1;
  if (modifiers & KMOD_CTRL) parameter |= kKeyControlDown;
  if (modifiers & KMOD_SHIFT) parameter |= kKeyShiftDown;
  if (modifiers & KMOD_ALT) parameter |= kKeyAltDown;
  return parameter;
}

// The window position of a button event: on a scaled picture, the pixel drawn under it. A press
// on a bar, and its release, are no pen events at all.
bool PenPosition(HWND window, const SDL_MouseButtonEvent& button, bool down, POINT* position) {
  *position = POINT{button.x, button.y};
  int width = 0, height = 0;
  SDL_GetWindowSize(sdl_windows[window], &width, &height);
  int picture_width = 0, picture_height = 0;
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    const WindowRecord* record = FindWindowRecord(window);
    if (!record) return false;
    picture_width = record->width;
    picture_height = record->height;
  }
  const Letterbox* placement = PlacementOf(window, picture_width, picture_height, width, height);
  const bool on_picture =
      !placement || PictureOfAreaPoint(*placement, button.x, button.y, position);
  if (down) pen_on_bar = !on_picture;
  if (!pen_on_bar) return true;
  if (!down) pen_on_bar = false;
  return false;
}

void PostButton(const SDL_MouseButtonEvent& button, bool down) {
  HWND window = WindowOfSdlId(button.windowID);
  POINT position{};
  if (!window || !PenPosition(window, button, down, &position)) return;
  // wParam of a button message: which buttons are down (MK_LBUTTON 1, MK_RBUTTON 2).
  UINT message;
  WPARAM held;
  if (button.button == SDL_BUTTON_LEFT) {
    message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    held = down ? 0x0001 : 0;
  } else if (button.button == SDL_BUTTON_RIGHT) {
    message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    held = down ? 0x0002 : 0;
  } else {
    return;
  }
  PostInput(window, message, held, MAKELPARAM(position.x, position.y));
}

void PostKey(const SDL_KeyboardEvent& key, bool down) {
  HWND window = WindowOfSdlId(key.windowID);
  const WPARAM virtual_key = VirtualKey(key.keysym.sym);
  if (!window || virtual_key == 0) return;
  PostInput(window, down ? WM_KEYDOWN : WM_KEYUP, virtual_key, KeyParameter(key.keysym.mod));
}

void NoteDestroyedByOthers(const SDL_SysWMmsg& message) {
  if (message.subsystem != SDL_SYSWM_X11 || message.msg.x11.event.type != DestroyNotify) return;
  // Our own SDL_DestroyWindow comes back here too, after the window left the table.
  if (HWND window = WindowOfHostId(message.msg.x11.event.xdestroywindow.window)) {
    destroyed_by_others.push_back(window);
  }
}

void HandleWindowEvent(const SDL_WindowEvent& event) {
  HWND window = WindowOfSdlId(event.windowID);
  if (!window) return;
  if (event.event == SDL_WINDOWEVENT_CLOSE) {
    PostMessageW(window, WM_CLOSE, 0, 0);
  } else if (event.event == SDL_WINDOWEVENT_EXPOSED ||
             event.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
    ShowWhole(window, sdl_windows[window]);
    InvalidateRect(window, nullptr, FALSE);
  }
}

// Touches reach us as SDL's mouse events synthesised from them (SDL_HINT_TOUCH_MOUSE_EVENTS).
void HandleEvent(const SDL_Event& event) {
  if (HandleMessageBoxEvent(event)) return;
  switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
      PostButton(event.button, true);
      break;
    case SDL_MOUSEBUTTONUP:
      PostButton(event.button, false);
      break;
    case SDL_KEYDOWN:
      PostKey(event.key, true);
      break;
    case SDL_KEYUP:
      PostKey(event.key, false);
      break;
    case SDL_WINDOWEVENT:
      HandleWindowEvent(event.window);
      break;
    case SDL_SYSWMEVENT:
      NoteDestroyedByOthers(*event.syswm.msg);
      break;
    default:
      if (event.type == wake_event_type) wake_queued = false;
      break;
  }
}

void WindowCreated(HWND window) {
  if (OnDisplayThread()) CreateSdlWindow(window);
}

void WindowShown(HWND window, bool visible) {
  if (OnDisplayThread()) {
    ShowSdlWindow(window, visible);
  } else {
    QueueRequest(window, visible ? WindowRequest::Show : WindowRequest::Hide);
  }
}

void WindowDestroyed(HWND window) {
  if (OnDisplayThread()) {
    DestroySdlWindow(window);
  } else {
    QueueRequest(window, WindowRequest::Destroy);
  }
}

bool Present(HWND window) {
  const std::vector<RECT> dirty = TakeDirty(window);
  if (dirty.empty() || !OnDisplayThread()) return false;
  const auto found = sdl_windows.find(window);
  return found != sdl_windows.end() && ShowRects(window, found->second, dirty);
}

void Raised(HWND) {
  if (OnDisplayThread()) RaiseMessageBoxes();
}

bool PumpsThisThread() { return OnDisplayThread(); }

void WaitEvents(int timeout_ms) {
  RunRequests();
  SDL_Event event;
  const int got = timeout_ms < 0 ? SDL_WaitEvent(&event) : SDL_WaitEventTimeout(&event, timeout_ms);
  if (!got) return;
  do {
    HandleEvent(event);
  } while (SDL_PollEvent(&event));
  RunRequests();
  // Outside SDL's event handling: WM_DESTROY runs the window's procedure, and its SDL window goes.
  for (HWND window : std::exchange(destroyed_by_others, {})) DestroyWindow(window);
}

// At most one wake event waits in SDL's queue; it stays there until the display thread takes it,
// so a wake that comes before the wait still ends it.
void Wake() {
  if (wake_queued.exchange(true)) return;
  SDL_Event event{};
  event.type = wake_event_type;
  if (SDL_PushEvent(&event) != 1) wake_queued = false;
}

// Boxes asked for on another thread count as answered (MessageBoxW has told their text on
// standard error): the display thread alone draws.
bool ShowMessageBox(int token, LPCWSTR text, LPCWSTR caption) {
  return OnDisplayThread() && OpenSdlMessageBox(token, text, caption);
}

const DisplayBackend kSdl{WindowCreated, WindowShown, WindowDestroyed,
                          Present,       Raised,      PumpsThisThread,
                          WaitEvents,    Wake,        ShowMessageBox};

// Xlib's default answer to a protocol error ends the process with 1. Our windows can vanish
// under a request at any moment (another client destroys them); such a request simply did
// nothing, and the destruction itself arrives as DestroyNotify.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// SDL prefers a DirectColor visual where the X server offers one; its colours go through a
// colormap that nothing installs without a window manager, and such a window shows black. The
// server's default visual (TrueColor everywhere today) needs no colormap.
void PreferTheDefaultVisual() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return;
  const VisualID visual = XVisualIDFromVisual(DefaultVisual(display, DefaultScreen(display)));
  XCloseDisplay(display);
  SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, std::to_string(visual).c_str());
}

// SDL's own Wayland driver is never used (see wayland_display.cpp), nor its KMSDRM driver, which
// as Debian ships it needs EGL and GBM (the DRM display, drm/, takes the kernel's screen): X11 is
// (also through Xwayland), unless SDL_VIDEODRIVER names a driver other than Wayland.
void AvoidSdlWayland() {
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  if (asked && *asked && !std::strstr(asked, "wayland")) return;
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
}

}  // namespace

bool StartSdlBackend() {
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
  PreferTheDefaultVisual();
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
  // SDL 2.26 has a software framebuffer for X11 only; elsewhere (KMSDRM) the window surface is
  // drawn through its renderer or not at all.
  if (std::strcmp(driver, "x11") != 0) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "1");
  wake_event_type = SDL_RegisterEvents(1);
  SDL_AddEventWatch(NoteInvalidFramebuffer, nullptr);
  BecomeDisplayThread();
  driver_is_not_x11 = std::strcmp(driver, "x11") != 0;
  if (!driver_is_not_x11) {
    // After SDL's own handler, which restores the screen mode and then exits as Xlib's does.
    XSetErrorHandler(IgnoreXError);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  }
  return true;
}

const DisplayBackend& SdlBackend() { return kSdl; }

bool OurWindowsMayBeOnX11() {
  return !driver_is_not_x11 && &ActiveBackend() != &WaylandBackend() &&
         &ActiveBackend() != &DrmBackend();
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

}  // namespace platform::display
