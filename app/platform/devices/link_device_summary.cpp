// The link devices as the start line names them.
#include <cstdlib>

#include "platform/devices/devices.h"
#include "platform/internal/module_interfaces.h"

namespace platform {

std::string DescribeLinkDevices() {
  const auto targets = ParseLinkDeviceList(std::getenv("QUELT_LINK_DEVICES"));
  std::string named;
  for (int i = 0; i < LinkDeviceCount; ++i) {
    if (targets[i].empty()) continue;
    if (!named.empty()) named += ", ";
    named += "DSK" + std::to_string(i + 1) + "=" + targets[i];
  }
  return named.empty() ? "none" : named;
}

}  // namespace platform
