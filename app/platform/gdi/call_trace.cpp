#include "platform/gdi/call_trace.h"

#include <cstdint>
#include <string>

#include "platform/internal/module_interfaces.h"
#include "platform/testing.h"

namespace platform::gdi {
namespace {

std::string Decimal(const void* handle) {
  return std::to_string(reinterpret_cast<std::uintptr_t>(handle));
}

}  // namespace

void TraceCall(const char* name, const void* first, const void* second) {
  if (!VirtualTimeActive()) return;
  std::string text = std::string(name) + " " + Decimal(first);
  if (second) text += " " + Decimal(second);
  TraceEvent(text);
}

}  // namespace platform::gdi
