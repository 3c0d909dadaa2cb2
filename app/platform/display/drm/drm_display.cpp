// The DRM backend: the panel alone on a screen of the kernel's (DRM/KMS), without X11 or a
// compositor, as a head unit boots one program straight onto its screen. The top-level window on
// top of the stacking order fills the screen, its picture letterboxed where the screen is not its
// size; message boxes lie above it. Touch screens and pointers come through libinput, the card and
// the input devices through the seat (libseat), so the service runs as its own user.
//
// Like the other real displays it runs on one thread, the one that started it (the thread of the
// first top-level window); windows of other threads keep their surfaces in memory and are never
// shown, and a show or destroy another thread asks for waits for the display thread. Start
// reading at StartDrmBackend, then WaitEvents.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/diagnostics.h"
#include "platform/display/display_backend.h"
#include "platform/display/display_thread.h"
#include "platform/display/drm/drm_state.h"
#include "platform/display/pen_input.h"
#include "platform/display/window_surfaces.h"

namespace platform::display {
namespace drm {

DrmDisplay& Drm() {
  static DrmDisplay display;
  return display;
}

namespace {

bool IsOurs(HWND window) {
  const auto& windows = Drm().windows;
  return std::find(windows.begin(), windows.end(), window) != windows.end();
}

// Our visible window on top of the stacking order, or null.
HWND TopWindow() {
  HWND top = nullptr;
  std::lock_guard<std::mutex> hold(SurfacesLock());
  ForEachVisibleTopLevel([&top](const WindowRecord& record) {
    if (IsOurs(record.handle)) top = record.handle;
  });
  return top;
}

// The window that fills the screen may have changed: then all of it is drawn again.
void Restack() {
  DrmDisplay& display = Drm();
  HWND top = TopWindow();
  if (top == display.shown_window) return;
  display.shown_window = top;
  ScreenChangedWhole();
}

// The shown window's picture and its size; null when it has none.
const std::uint32_t* ShownPicture(int* width, int* height) {
  std::lock_guard<std::mutex> hold(SurfacesLock());
  const WindowRecord* record = FindWindowRecord(Drm().shown_window);
  if (!record) return nullptr;
  *width = record->width;
  *height = record->height;
  return record->pixels;
}

void WindowCreated(HWND window) {
  WindowInfo info{};
  if (DescribeWindow(window, &info) && info.top_level) Drm().windows.push_back(window);
}

void WindowShown(HWND, bool) { Restack(); }

// The record is still there during the call: the window leaves our list first.
void WindowDestroyed(HWND window) {
  DrmDisplay& display = Drm();
  display.windows.erase(std::remove(display.windows.begin(), display.windows.end(), window),
                        display.windows.end());
  if (display.pen_window == window) display.pen_target = PenTarget::Nothing;
  Restack();
}

bool Present(HWND window, const std::vector<RECT>& dirty) {
  DrmDisplay& display = Drm();
  if (window != display.shown_window) return false;
  int width = 0, height = 0;
  if (!ShownPicture(&width, &height)) return false;
  const Letterbox letterbox = FitPicture(width, height, display.width, display.height);
  for (const RECT& rect : dirty)
    AddScreenDamage(display.scanout, AreaOfPictureRect(letterbox, rect));
  CommitScreen();
  return !display.scanout.paused;
}

void Raised(HWND) { Restack(); }

void WaitEvents(int timeout_ms) {
  DrmDisplay& display = Drm();
  pollfd waits[] = {{SeatDescriptor(), POLLIN, 0},
                    {display.card, POLLIN, 0},
                    {InputDescriptor(), POLLIN, 0},
                    {display.wake.read_end, POLLIN, 0}};
  if (poll(waits, 4, timeout_ms < 0 ? -1 : timeout_ms) > 0) {
    if (waits[0].revents & POLLIN) DispatchSeat();
    if (waits[1].revents & POLLIN) DispatchCardEvents();
    if (waits[2].revents & POLLIN) DispatchInput();
    if (waits[3].revents & POLLIN) DrainWakePipe(display.wake);
  }
  Restack();
}

void Wake() { SendWake(Drm().wake); }

// Boxes asked for on another thread count as answered (their text is in the log already): the
// display thread alone draws.
bool ShowMessageBox(int token, LPCWSTR text, LPCWSTR) {
  return OnDisplayThread() && OpenMessageBox(token, text);
}

// No X server runs beside the kernel's screen.
bool HiddenFromXServer() { return true; }

std::string Description() {
  const DrmDisplay& display = Drm();
  return "DRM " + display.card_path + " " + std::to_string(display.width) + "x" +
         std::to_string(display.height) +
         (display.scanout.kind == Scanout::PageFlips ? " page flips" : " dirty rectangles");
}

const DisplayBackend kDrm{Description, WindowCreated,     WindowShown, WindowDestroyed, Present,
                          Raised,      WaitEvents,        Wake,        ShowMessageBox,  nullptr,
                          nullptr,     HiddenFromXServer, nullptr};

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// Any display named (Wayland, X11, an SDL driver) is another's; QUELT_DRM_DEVICE names a card.
bool DrmAskedFor() {
  if (IsSet("QUELT_DRM_DEVICE")) return true;
  for (const char* name : {"WAYLAND_DISPLAY", "WAYLAND_SOCKET", "DISPLAY", "SDL_VIDEODRIVER"}) {
    if (IsSet(name)) return false;
  }
  return true;
}

// The first card that lights a screen; the reasons of those that did not, when none does.
bool StartOnACard(const std::vector<std::string>& cards, std::string* why_not) {
  for (const std::string& card : cards) {
    std::string why;
    if (OpenCard(card, &why)) {
      if (CreateBuffers(&why)) {
        if (StartScanout(&why)) return true;
        DestroyBuffers();
      }
      CloseCard();
    }
    *why_not += (why_not->empty() ? "" : "; ") + card + ": " + why;
  }
  return false;
}

bool Start(std::string* why_not) {
  const std::vector<std::string> cards = CardPaths();
  // A card named but not there is said before the seat is asked for anything.
  if (cards.size() == 1 && access(cards.front().c_str(), F_OK) != 0) {
    *why_not = cards.front() + ": " + std::strerror(errno);
    return false;
  }
  if (!OpenSeat(why_not)) return false;
  if (!StartOnACard(cards, why_not)) {
    CloseSeat();
    return false;
  }
  if (!OpenInput(why_not) || !OpenWakePipe(&Drm().wake)) {
    if (why_not->empty()) *why_not = "no wake pipe";
    CloseInput();
    DestroyBuffers();
    CloseCard();
    CloseSeat();
    return false;
  }
  return true;
}

}  // namespace

std::vector<ScreenLayer> ScreenLayers() {
  const DrmDisplay& display = Drm();
  std::vector<ScreenLayer> layers;
  int width = 0, height = 0;
  if (const std::uint32_t* picture = ShownPicture(&width, &height)) {
    layers.push_back(WindowLayer(picture, width, height, display.width, display.height));
  }
  for (const OpenBox& box : display.boxes) {
    layers.push_back(BoxLayer(box.picture.pixels, box.picture.width, box.picture.height,
                              display.width, display.height));
  }
  return layers;
}

// A box under the pen takes it; else the window that fills the screen (which, while a box is open,
// is disabled and takes nothing).
void PenOnScreen(const PenEvent& pen) {
  DrmDisplay& display = Drm();
  if (pen.action == PenAction::Down) {
    display.pen_target = PenTarget::Nothing;
    if (BoxAt(pen.x, pen.y, &display.pen_box)) {
      display.pen_target = PenTarget::Box;
    } else if (display.shown_window) {
      display.pen_target = PenTarget::Window;
      display.pen_window = display.shown_window;
    }
  }
  if (display.pen_target == PenTarget::Window) {
    ReportPen(display.pen_window, pen.x, pen.y, display.width, display.height, pen.action);
  } else if (display.pen_target == PenTarget::Box && pen.action == PenAction::Up) {
    PenUpOnBox(display.pen_box, pen.x, pen.y);
  }
  if (pen.action == PenAction::Up) display.pen_target = PenTarget::Nothing;
}

void SeatDisabled() {
  PauseScanout(Drm().scanout);
  SuspendInput();
}

void SeatEnabled() {
  ResumeInput();
  if (!ShowWholeScreen()) {
    LogLine(LogPriority::Warning, "the DRM screen did not come back after the seat returned (" +
                                      std::string(std::strerror(errno)) + ")");
  }
}
}  // namespace drm

bool StartDrmBackend() {
  if (!drm::DrmAskedFor() || drm::CardPaths().empty()) return false;
  std::string why_not;
  if (!drm::Start(&why_not)) {
    // Said once: while the panel waits for its display, this is tried each second.
    static bool said = false;
    if (!said) {
      LogLine(LogPriority::Warning, "cannot show windows on DRM (" + why_not + ")");
      said = true;
    }
    return false;
  }
  BecomeDisplayThread();
  return true;
}

const DisplayBackend& DrmBackend() { return drm::kDrm; }

}  // namespace platform::display
