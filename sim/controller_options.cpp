// Reading the simulated controller's options.
#include "sim/controller_options.h"

#include <cstdlib>

namespace sim {
namespace {

// A whole unsigned number, decimal or 0x hexadecimal.
bool ParseNumber(const std::string& text, std::uint32_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
  if (*end != 0 || text[0] == '-' || parsed > 0xFFFFFFFFull) return false;
  *value = static_cast<std::uint32_t>(parsed);
  return true;
}

// "AMOUNT[@MS]".
bool ParseTimed(const std::string& text, std::uint32_t* amount, std::uint32_t* at_ms) {
  const std::size_t at = text.find('@');
  *at_ms = 0;
  return ParseNumber(text.substr(0, at), amount) &&
         (at == std::string::npos || ParseNumber(text.substr(at + 1), at_ms));
}

bool ParseKeys(const std::string& text, std::vector<ScheduledEvent>* script) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    ScheduledEvent event{ScheduledEvent::Kind::Key, 0, 0};
    if (!ParseTimed(text.substr(start, end - start), &event.amount, &event.at_ms) ||
        event.amount == 0 || event.amount > 0xFF) {
      return false;
    }
    script->push_back(event);
    start = end + 1;
  }
  return true;
}

// "FOR[@MS][>N]", N being 1 to 5 or "DSK1" to "DSK5".
bool ParseVanish(const std::string& text, ScheduledEvent* event) {
  const std::size_t arrow = text.find('>');
  if (arrow != std::string::npos) {
    std::string device = text.substr(arrow + 1);
    if (device.compare(0, 3, "DSK") == 0) device = device.substr(3);
    std::uint32_t number = 0;
    if (!ParseNumber(device, &number) || number < 1 || number > 5) return false;
    event->device = static_cast<int>(number);
  }
  return ParseTimed(text.substr(0, arrow), &event->amount, &event->at_ms);
}

// "AMOUNT[@MS]": a count of faults, or how long a stall lasts.
struct ScheduledFault {
  const char* key;
  ScheduledEvent::Kind kind;
};

constexpr ScheduledFault ScheduledFaults[] = {
    {"fail_opens", ScheduledEvent::Kind::FailOpens},
    {"fail_reads", ScheduledEvent::Kind::FailReads},
    {"short_reads", ScheduledEvent::Kind::ShortReads},
    {"fail_writes", ScheduledEvent::Kind::FailWrites},
    {"stall", ScheduledEvent::Kind::Stall},
};

}  // namespace

bool SetControllerOption(const std::string& key, const std::string& value,
                         ControllerOptions* options, std::string* error) {
  bool good = true;
  std::uint32_t number = 0;
  if (key == "variant") {
    good = ParseNumber(value, &number) && (number == 1 || number == 2);
    options->variant = static_cast<int>(number);
  } else if (key == "signature") {
    good = !value.empty() && value.size() <= 64;
    options->signature = value;
  } else if (key == "trace") {
    good = !value.empty();
    options->trace_path = value;
  } else if (key == "keys") {
    good = ParseKeys(value, &options->script);
  } else if (key == "info") {
    good = ParseNumber(value, &number) && number <= 1;
    options->info_shown = number == 1;
  } else if (key == "short_by") {
    good = ParseNumber(value, &number) && number >= 1 && number <= 512;
    options->short_by = number;
  } else if (key == "vanish") {
    ScheduledEvent event{ScheduledEvent::Kind::Vanish, 0, 0};
    good = ParseVanish(value, &event);
    options->script.push_back(event);
  } else {
    good = false;
    for (const ScheduledFault& fault : ScheduledFaults) {
      if (key != fault.key) continue;
      ScheduledEvent event{fault.kind, 0, 0};
      good = ParseTimed(value, &event.amount, &event.at_ms);
      options->script.push_back(event);
    }
    if (!good) {
      *error = "unknown simulator option \"" + key + "\" or bad value \"" + value + "\"";
      return false;
    }
  }
  if (!good) *error = "bad value \"" + value + "\" for simulator option \"" + key + "\"";
  return good;
}

bool ParseControllerOptions(const std::string& text, ControllerOptions* options,
                            std::string* error) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string pair = text.substr(start, end - start);
    const std::size_t equals = pair.find('=');
    if (equals == std::string::npos) {
      *error = "simulator option \"" + pair + "\" is not key=value";
      return false;
    }
    if (!SetControllerOption(pair.substr(0, equals), pair.substr(equals + 1), options, error)) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace sim
