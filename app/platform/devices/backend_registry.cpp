// The table of block-device backends that other libraries register by scheme ("sim").
#include <map>
#include <mutex>

#include "platform/devices/devices.h"

namespace platform {
namespace {

std::mutex registry_lock;

std::map<std::string, BlockDeviceBackend>& Registry() {
  static std::map<std::string, BlockDeviceBackend> backends;
  return backends;
}

}  // namespace

void RegisterBlockDeviceBackend(const char* scheme, const BlockDeviceBackend& backend) {
  std::lock_guard<std::mutex> hold(registry_lock);
  Registry()[scheme] = backend;
}

bool FindRegisteredBackend(const std::string& scheme, BlockDeviceBackend* backend) {
  std::lock_guard<std::mutex> hold(registry_lock);
  auto found = Registry().find(scheme);
  if (found == Registry().end()) return false;
  *backend = found->second;
  return true;
}

}  // namespace platform
