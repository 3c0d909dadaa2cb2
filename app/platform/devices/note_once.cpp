// One warning line per distinct problem: the link is probed every 200 ms, and a misconfigured
// device would otherwise repeat its complaint five times a second.
#include <mutex>
#include <set>

#include "platform/devices/devices.h"
#include "platform/diagnostics.h"

namespace platform {

void NoteOnce(const std::string& message) {
  static std::mutex lock;
  static std::set<std::string> noted;
  std::lock_guard<std::mutex> hold(lock);
  if (!noted.insert(message).second) return;
  LogLine(LogPriority::Warning, message);
}

}  // namespace platform
