// QUELT_LINK_DEVICES, whatever it says, and the simulator's options inside it: the list splits
// into at most five targets; each resolves to the backend its form names (an NBD URI to NBD, a
// registered scheme to that backend with the text after its colon, a bare path to a file) or to
// none; and the options of a "sim" target either parse into values within their ranges or are
// refused with a message. Nothing is opened. Input: the variable's text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/devices/devices.h"
#include "sim/controller_options.h"
#include "sim/register.h"

namespace platform {

// The notes about unknown schemes are not what is fuzzed; the platform's version keeps every
// distinct message for the life of the process, which would grow with the inputs.
void NoteOnce(const std::string&) {}

}  // namespace platform

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool IsNbdUri(const std::string& target) {
  return StartsWith(target, "nbd://") || StartsWith(target, "nbd+unix://") ||
         StartsWith(target, "nbds://") || StartsWith(target, "nbds+unix://");
}

[[noreturn]] void Fail(const char* what, const std::string& target) {
  std::fprintf(stderr, "link_devices_fuzz: %s: \"%s\"\n", what, target.c_str());
  std::abort();
}

bool OptionsInRange(const sim::ControllerOptions& options) {
  if (options.variant != 1 && options.variant != 2) return false;
  if (options.signature.size() > 64 || options.short_by < 1 || options.short_by > 512) return false;
  for (const sim::ScheduledEvent& event : options.script) {
    if (event.kind == sim::ScheduledEvent::Kind::Key && (event.amount < 1 || event.amount > 0xFF)) {
      return false;
    }
    if (event.device < 0 || event.device > 5) return false;
  }
  return true;
}

void CheckSimOptions(const std::string& target, const std::string& options_text) {
  sim::ControllerOptions options;
  std::string error;
  if (sim::ParseControllerOptions(options_text, &options, &error)) {
    if (!OptionsInRange(options)) Fail("simulator options out of range", target);
  } else if (error.empty()) {
    Fail("simulator options refused without a message", target);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterSimulatorDevices();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An environment variable ends at its first 0 byte.
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();
  static platform::BlockDeviceBackend sim_backend = [] {
    platform::BlockDeviceBackend backend{};
    if (!platform::FindRegisteredBackend("sim", &backend)) std::abort();
    return backend;
  }();
  for (const std::string& target : platform::ParseLinkDeviceList(text.c_str())) {
    platform::BlockDeviceBackend backend{};
    std::string open_text;
    const bool resolved = platform::ResolveLinkTarget(target, &backend, &open_text);
    if (target.empty()) {
      if (resolved) Fail("an empty entry names a device", target);
      continue;
    }
    if (!resolved) {
      if (IsNbdUri(target) || target.find(':') == std::string::npos) {
        Fail("a target without a scheme was refused", target);
      }
      continue;
    }
    if (backend.open == platform::NbdBlockDevice.open) {
      if (!IsNbdUri(target) || open_text != target) Fail("not an NBD URI taken for one", target);
    } else if (backend.open == platform::FileBlockDevice.open) {
      if (IsNbdUri(target) || open_text != target) Fail("a file path changed on the way", target);
    } else if (backend.open == sim_backend.open) {
      const std::string expected = open_text.empty() ? "sim" : "sim:" + open_text;
      if (target != expected && target != "sim:")
        Fail("the options of a sim target changed", target);
      CheckSimOptions(target, open_text);
    } else {
      Fail("an unknown backend", target);
    }
  }
  return 0;
}
