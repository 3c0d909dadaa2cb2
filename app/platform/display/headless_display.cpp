// The headless backend: the windows' surfaces are the screen. Nothing is shown anywhere; tests
// read the screen with CaptureScreen and touch it with InjectPen (screen_capture.cpp).
#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/display/display_backend.h"
#include "platform/display/window_surfaces.h"

namespace platform::display {
namespace {

std::mutex wake_lock;
std::condition_variable wake_signal;
bool wake_pending = false;

void NothingToDo(HWND) {}

void NothingToShow(HWND, bool) {}

std::string Describe() { return "headless"; }

// The surfaces are the screen: what was drawn is shown already.
bool ShownAlready(HWND, const std::vector<RECT>&) { return true; }

// No host events exist; only a wake ends the wait early.
void WaitForWake(int timeout_ms) {
  std::unique_lock<std::mutex> hold(wake_lock);
  const auto woken = [] { return wake_pending; };
  if (timeout_ms < 0) {
    wake_signal.wait(hold, woken);
  } else {
    wake_signal.wait_for(hold, std::chrono::milliseconds(timeout_ms), woken);
  }
  wake_pending = false;
}

void Wake() {
  std::lock_guard<std::mutex> hold(wake_lock);
  wake_pending = true;
  wake_signal.notify_all();
}

// No boxes of its own (the display answers them itself), no host windows, no keyboard.
const DisplayBackend kHeadless{Describe,    NothingToDo, NothingToShow, NothingToDo, ShownAlready,
                               NothingToDo, WaitForWake, Wake,          nullptr,     nullptr,
                               nullptr,     nullptr,     nullptr};

}  // namespace

const DisplayBackend& HeadlessBackend() { return kHeadless; }

}  // namespace platform::display
