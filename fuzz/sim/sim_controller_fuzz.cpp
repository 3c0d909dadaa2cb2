// Arbitrary packets from a panel (over NBD they come from another machine) and arbitrary option
// text: the simulated controller must take them all without a fault. Input: option text up to the
// first newline, then records of 15 packet bytes and one byte that picks the read that follows.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sim/controller.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t* newline = static_cast<const std::uint8_t*>(std::memchr(data, '\n', size));
  const std::size_t options_length = newline ? static_cast<std::size_t>(newline - data) : 0;
  const std::string options_text(reinterpret_cast<const char*>(data), options_length);
  sim::ControllerOptions options;
  std::string error;
  // No trace files and no stalls (they wait on the real clock) from the fuzzer; and a bad option
  // text only has to be refused.
  if (!sim::ParseControllerOptions(options_text, &options, &error)) options = {};
  options.trace_path.clear();
  options.script.erase(std::remove_if(options.script.begin(), options.script.end(),
                                      [](const sim::ScheduledEvent& event) {
                                        return event.kind == sim::ScheduledEvent::Kind::Stall;
                                      }),
                       options.script.end());
  sim::Controller controller(options);
  const std::uint64_t session = controller.Open(1);

  std::vector<std::uint8_t> sectors(sim::ExchangeSectors * sim::SectorBytes);
  std::size_t at = newline ? options_length + 1 : 0;
  while (at + sim::PacketBytes + 1 <= size) {
    std::uint8_t command[sim::SectorBytes] = {};
    std::memcpy(command, data + at, sim::PacketBytes);
    std::uint32_t moved = 0;
    controller.Write(session, sim::ExchangeSector, 1, command, &moved);
    const std::uint8_t pick = data[at + sim::PacketBytes];
    const std::uint32_t count = 1 + pick % sim::ExchangeSectors;
    controller.Read(session, sim::ProbeSector + pick, count, sectors.data(), &moved);
    at += sim::PacketBytes + 1;
  }
  return 0;
}
