// A display that is asked for but not up yet. At boot the panel's service may start before the X
// server or the compositor it names, or before the card QUELT_DRM_DEVICE names; running headless
// for good would leave the screen empty, so the panel waits for the display, trying again each
// second. Without any display asked for, the panel runs headless at once.
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/diagnostics.h"
#include "platform/display/display_backend.h"
#include "platform/internal/module_interfaces.h"

namespace platform::display {
namespace {

constexpr auto RetryPause = std::chrono::milliseconds(1000);
constexpr auto StopCheckPause = std::chrono::milliseconds(100);

// The variable that asks for a display, as "NAME=value", or "" when none does. SDL's offscreen
// and dummy drivers ask for none: they draw nowhere.
std::string DisplayRequest() {
  for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY", "SDL_VIDEODRIVER", "QUELT_DRM_DEVICE"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    if (std::strcmp(name, "SDL_VIDEODRIVER") == 0 &&
        (std::strcmp(value, "offscreen") == 0 || std::strcmp(value, "dummy") == 0)) {
      continue;
    }
    return std::string(name) + "=" + value;
  }
  return "";
}

}  // namespace

bool WaitForRequestedDisplay(bool (*start)()) {
  const std::string request = DisplayRequest();
  if (request.empty()) return false;
  LogLine(LogPriority::Warning,
          "waiting for the display " + request + "; trying again each second");
  do {
    // A stop (the service manager's SIGTERM) must not wait for a display that may never come.
    for (auto waited = StopCheckPause; waited <= RetryPause; waited += StopCheckPause) {
      if (StopRequested()) return false;
      std::this_thread::sleep_for(StopCheckPause);
    }
  } while (!start());
  return true;
}

}  // namespace platform::display
