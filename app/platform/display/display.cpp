// The display's side of the platform's module interfaces: window surfaces for core and gdi, and
// the choice of backend.
// Start reading at ChooseBackend: Wayland when a compositor is asked for, else SDL when a display
// is there, else DRM when no display is named and a card is there, waiting for one that is asked
// for but not up yet, headless otherwise.
#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/desktop/foreground.h"
#include "platform/diagnostics.h"
#include "platform/display/display_backend.h"
#include "platform/display/host_windows.h"
#include "platform/display/screen_file.h"
#include "platform/display/window_surfaces.h"
#include "platform/testing_display.h"

namespace platform {
namespace display {
namespace {

std::atomic<bool> headless_forced_by_test{false};
std::atomic<const DisplayBackend*> chosen_backend{nullptr};
std::atomic<void (*)(const testing::PresentedWindow&)> present_observer{nullptr};

// The window's own thread presents and draws, so its pixels hold still during the call.
void TellPresentObserver(HWND window) {
  const auto observer = present_observer.load();
  if (!observer) return;
  Surface32 surface;
  if (!DisplayWindowSurface(window, &surface)) return;
  observer(testing::PresentedWindow{window, surface.pixels, surface.width, surface.height});
}

std::mutex choosing;

// A real display: a Wayland compositor when one is asked for, else whatever SDL finds, else the
// kernel's screen.
bool StartHostBackend() {
  if (StartWaylandBackend()) {
    chosen_backend = &WaylandBackend();
  } else if (StartSdlBackend()) {
    chosen_backend = &SdlBackend();
  } else if (StartDrmBackend()) {
    chosen_backend = &DrmBackend();
  }
  return chosen_backend.load() != nullptr;
}

// Decided once, on the thread that creates the first top-level window: with Wayland or SDL that
// thread becomes the display thread, the only one that touches the host's display. A backend
// that cannot start says so in one line, and the next is tried.
void ChooseBackend() {
  std::lock_guard<std::mutex> hold(choosing);
  if (chosen_backend.load()) return;
  std::string description = "headless";
  if (HeadlessForced()) {
    chosen_backend = &HeadlessBackend();
  } else if (StartHostBackend() || WaitForRequestedDisplay(StartHostBackend, SDL_GetError())) {
    const DisplayBackend* chosen = chosen_backend.load();
    description = chosen == &WaylandBackend() ? std::string("Wayland")
                  : chosen == &DrmBackend()   ? DrmBackendDescription()
                                              : std::string("SDL ") + SDL_GetCurrentVideoDriver();
  } else {
    LogLine(LogPriority::Warning,
            std::string("no display available (") + SDL_GetError() + "); running headless");
    chosen_backend = &HeadlessBackend();
  }
  LogStartLine(description);
  // A user's headless run, not a test's.
  if (chosen_backend.load() == &HeadlessBackend() && !headless_forced_by_test &&
      !VirtualTimeActive()) {
    StartScreenFile();
  }
}

}  // namespace

bool HeadlessForced() {
  const char* requested = std::getenv("QUELT_DISPLAY");
  return headless_forced_by_test || VirtualTimeActive() ||
         (requested && std::strcmp(requested, "headless") == 0);
}

const DisplayBackend& ActiveBackend() {
  const DisplayBackend* backend = chosen_backend.load();
  return backend ? *backend : HeadlessBackend();
}

bool PostInput(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return IsWindowEnabled(window) && PostMessageW(window, message, wparam, lparam);
}

}  // namespace display

using namespace display;

void DisplayWindowCreated(HWND window, const RECT& rect, bool top_level) {
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    if (!AddWindowRecord(window, rect, top_level)) return;
  }
  if (top_level) ChooseBackend();
  ActiveBackend().window_created(window);
}

void DisplayWindowShown(HWND window, bool visible) {
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    WindowRecord* record = FindWindowRecord(window);
    if (!record) return;
    record->visible = visible;
    if (visible) RaiseWindowRecord(window);
  }
  if (!visible) desktop::ForgetForeground(window);
  ActiveBackend().window_shown(window, visible);
}

void DisplayWindowDestroyed(HWND window) {
  desktop::ForgetForeground(window);
  ActiveBackend().window_destroyed(window);
  std::lock_guard<std::mutex> hold(SurfacesLock());
  RemoveWindowRecord(window);
}

bool DisplayWindowSurface(HWND window, Surface32* surface) {
  std::lock_guard<std::mutex> hold(SurfacesLock());
  const WindowRecord* record = FindWindowRecord(window);
  if (!record) return false;
  *surface = Surface32{record->pixels, record->width, record->height,
                       record->width * static_cast<int>(sizeof(std::uint32_t))};
  return true;
}

void DisplayMarkDirty(HWND window, const RECT& rect) {
  std::lock_guard<std::mutex> hold(SurfacesLock());
  if (WindowRecord* record = FindWindowRecord(window)) AddDirty(*record, rect);
}

void DisplayPresent(HWND window) {
  if (ActiveBackend().present(window)) TellPresentObserver(window);
}

bool DisplayPumpsThisThread() { return ActiveBackend().pumps_this_thread(); }

void DisplayWaitEvents(int timeout_ms) { ActiveBackend().wait_events(timeout_ms); }

void DisplayWake() { ActiveBackend().wake(); }

void display::RaiseOnScreen(HWND window) {
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    RaiseWindowRecord(window);
  }
  ActiveBackend().raised(window);
}

void testing::ForceHeadlessDisplay() { headless_forced_by_test = true; }

void testing::ObservePresents(void (*observer)(const PresentedWindow& presented)) {
  present_observer = observer;
}

}  // namespace platform
