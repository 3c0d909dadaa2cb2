// The choice of connector and mode.
#include "platform/display/drm/drm_output_choice.h"

#include <algorithm>

namespace platform::display::drm {

OutputChoice ChooseOutput(const std::vector<ConnectorCandidate>& connectors) {
  for (std::size_t index = 0; index < connectors.size(); ++index) {
    const ConnectorCandidate& connector = connectors[index];
    if (!connector.connected || connector.modes.empty()) continue;
    const auto& modes = connector.modes;
    const auto preferred = std::find_if(modes.begin(), modes.end(),
                                        [](const ModeCandidate& mode) { return mode.preferred; });
    const auto mode = preferred == modes.end() ? modes.begin() : preferred;
    return OutputChoice{static_cast<int>(index), static_cast<int>(mode - modes.begin())};
  }
  return OutputChoice{};
}

}  // namespace platform::display::drm
