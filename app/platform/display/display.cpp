// The display's side of the platform's module interfaces: window surfaces for core and gdi, and
// the choice of backend. Start reading at ChooseBackend: the first backend of the table that
// starts, else a wait for a display that is asked for but not up yet, else headless.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/desktop/foreground.h"
#include "platform/desktop_session.h"
#include "platform/diagnostics.h"
#include "platform/display/display_backend.h"
#include "platform/display/display_thread.h"
#include "platform/display/host_windows.h"
#include "platform/display/pen_input.h"
#include "platform/display/screen_file.h"
#include "platform/display/window_surfaces.h"
#include "platform/testing_display.h"

namespace platform {
namespace display {
namespace {

std::atomic<bool> headless_forced_by_test{false};
std::atomic<bool> display_lost{false};
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

// The first backend of the table that starts; each that cannot has said why.
bool StartRealDisplay() {
  for (const DisplayBackendEntry& entry : DisplayBackends()) {
    if (entry.start()) {
      chosen_backend = &entry.operations();
      return true;
    }
  }
  return false;
}

// Decided once, on the thread that creates the first top-level window: with a real display that
// thread becomes the display thread, the only one that touches the host's display.
void ChooseBackend() {
  std::lock_guard<std::mutex> hold(choosing);
  if (chosen_backend.load()) return;
  if (HeadlessForced()) {
    chosen_backend = &HeadlessBackend();
  } else if (!StartRealDisplay() && !WaitForRequestedDisplay(StartRealDisplay)) {
    LogLine(LogPriority::Warning, "no display available; running headless");
    chosen_backend = &HeadlessBackend();
  }
  LogStartLine(chosen_backend.load()->description());
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

bool FullScreenAsked() {
  static const bool asked = [] {
    const char* fullscreen = std::getenv("QUELT_FULLSCREEN");
    return fullscreen && std::strcmp(fullscreen, "1") == 0;
  }();
  return asked;
}

void NoteDisplayLost() { display_lost = true; }

const DisplayBackend& ActiveBackend() {
  const DisplayBackend* backend = chosen_backend.load();
  return backend ? *backend : HeadlessBackend();
}

bool PostInput(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  RecordInput(window, message, wparam, lparam);
  return IsWindowEnabled(window) && PostMessageW(window, message, wparam, lparam);
}

unsigned long HostWindowId(HWND window) {
  const DisplayBackend& backend = ActiveBackend();
  return backend.host_window_id ? backend.host_window_id(window) : 0;
}

HWND WindowOfHostId(unsigned long host_id) {
  const DisplayBackend& backend = ActiveBackend();
  return backend.window_of_host_id ? backend.window_of_host_id(host_id) : nullptr;
}

bool OurWindowsMayBeOnX11() {
  const DisplayBackend& backend = ActiveBackend();
  return !backend.hidden_from_x_server || !backend.hidden_from_x_server();
}

bool KeyboardFocus(HWND* focused) {
  const DisplayBackend& backend = ActiveBackend();
  return backend.keyboard_focus && backend.keyboard_focus(focused);
}

void RaiseOnScreen(HWND window) {
  RecordWindowRaised(window);
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    RaiseWindowRecord(window);
  }
  if (DisplayRunsHere()) ActiveBackend().raised(window);
}

}  // namespace display

using namespace display;

void DisplayWindowCreated(HWND window, const RECT& rect, bool top_level) {
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    if (!AddWindowRecord(window, rect, top_level)) return;
  }
  if (top_level) ChooseBackend();
  CreateOnDisplayThread(ActiveBackend(), window);
}

void DisplayWindowShown(HWND window, bool visible) {
  RecordWindowShown(window, visible);
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    WindowRecord* record = FindWindowRecord(window);
    if (!record) return;
    record->visible = visible;
    if (visible) RaiseWindowRecord(window);
  }
  if (!visible) {
    desktop::ForgetForeground(window);
    LiftPenFrom(window);
  }
  ShowOnDisplayThread(ActiveBackend(), window, visible);
}

void DisplayWindowDestroyed(HWND window) {
  desktop::ForgetForeground(window);
  ForgetPenOf(window);
  DestroyOnDisplayThread(ActiveBackend(), window);
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

// Another thread's drawing on a display-thread window is taken and dropped: only the display
// thread shows it, and it presents the whole window when it is shown.
void DisplayPresent(HWND window) {
  const std::vector<RECT> dirty = TakeDirty(window);
  if (dirty.empty()) return;
  if (DisplayRunsHere() && ActiveBackend().present(window, dirty)) TellPresentObserver(window);
}

bool DisplayPumpsThisThread() { return OnDisplayThread(); }

void DisplayWaitEvents(int timeout_ms) { WaitOnDisplayThread(ActiveBackend(), timeout_ms); }

void DisplayWake() { ActiveBackend().wake(); }

bool DisplayLost() { return display_lost; }

void testing::ForceHeadlessDisplay() { headless_forced_by_test = true; }

void testing::ObservePresents(void (*observer)(const PresentedWindow& presented)) {
  present_observer = observer;
}

}  // namespace platform
