// Which screen the DRM display lights: of a card's connectors, the first one connected with a
// mode to show, in the mode the screen itself prefers. Kept apart from libdrm so that the rule
// can be read and tried on its own.
#pragma once

#include <cstdint>
#include <vector>

namespace platform::display::drm {

struct ModeCandidate {
  int width = 0;
  int height = 0;
  int refresh_hz = 0;
  bool preferred = false;  // the screen's own choice, from its EDID
};

struct ConnectorCandidate {
  std::uint32_t id = 0;
  bool connected = false;
  std::vector<ModeCandidate> modes;  // in the kernel's order: largest first
};

struct OutputChoice {
  int connector = -1;  // index into the list; -1: no connector is connected with a mode
  int mode = -1;       // index into that connector's modes
};

// The first connected connector with modes; its preferred mode, else the first one listed.
OutputChoice ChooseOutput(const std::vector<ConnectorCandidate>& connectors);

}  // namespace platform::display::drm
