// The table of display backends, in the order the chooser tries them: a Wayland compositor when
// one is asked for, else whatever SDL finds (X11, also through Xwayland), else the kernel's screen
// (DRM/KMS) when no display is named and a card is there. A backend adds its folder and its line
// here; its start and operations are declared beside the table.
#include "platform/display/display_backend.h"

namespace platform::display {

bool StartWaylandBackend();
const DisplayBackend& WaylandBackend();
bool StartSdlBackend();
const DisplayBackend& SdlBackend();
bool StartDrmBackend();
const DisplayBackend& DrmBackend();

const std::vector<DisplayBackendEntry>& DisplayBackends() {
  static const std::vector<DisplayBackendEntry> table = {
      {"wayland", StartWaylandBackend, WaylandBackend},
      {"sdl", StartSdlBackend, SdlBackend},
      {"drm", StartDrmBackend, DrmBackend},
  };
  return table;
}

}  // namespace platform::display
