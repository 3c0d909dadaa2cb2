// The simulated controller's options, as "key=value" pairs: after "sim:" in QUELT_LINK_DEVICES
// ("sim:variant=2,keys=0x82@3000;0x83@5000") and as nbdkit plugin parameters.
//
//   variant=1|2             signature "VANTREL0001" or "VANTREL0002" in sector 597 (default 1)
//   signature=TEXT          sector 597 begins with TEXT instead (a wrong or lower-case signature)
//   trace=PATH              every packet received, one line each, with its time
//   keys=CODE@MS;...        key codes sent MS after the controller started (CODE 0x82 or 130)
//   fail_opens=N[@MS]       the next N opens fail (from MS after start; default at once)
//   fail_reads=N[@MS]       the next N reads fail
//   short_reads=N[@MS]      the next N reads come back short_by bytes short
//   short_by=BYTES          bytes missing from a short read (default 2: 5118 of 5120, 510 of 512)
//   fail_writes=N[@MS]      the next N writes fail; their packets are lost
//   vanish=FOR[@MS][>N]     gone for FOR ms (from MS after start), then back as DSKn
//   stall=FOR[@MS]          the next read takes FOR ms before it is served
//   info=0|1                start with INFO on: the text line scrolls the programme text
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct ScheduledEvent {
  enum class Kind { Key, FailOpens, FailReads, ShortReads, FailWrites, Vanish, Stall };
  Kind kind;
  std::uint32_t at_ms;   // after the controller started
  std::uint32_t amount;  // key code, count, or vanish or stall duration in ms
  int device = 0;        // vanish: the DSK number to come back as, 0 for the same
};

struct ControllerOptions {
  int variant = 1;
  std::string signature;  // empty: the variant's
  std::string trace_path;
  std::uint32_t short_by = 2;
  bool info_shown = false;
  std::vector<ScheduledEvent> script;
};

// One option; false with a message in *error for an unknown key or a bad value.
bool SetControllerOption(const std::string& key, const std::string& value,
                         ControllerOptions* options, std::string* error);
// Comma-separated "key=value" options; an empty text leaves the defaults.
bool ParseControllerOptions(const std::string& text, ControllerOptions* options,
                            std::string* error);

}  // namespace sim
