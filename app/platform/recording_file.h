// Reading a flight recording (flight_recorder.h; the layout is described in
// recorder/recording_format.h). The reader checks every byte it reads: whatever the input, it
// answers with the events or with a message naming the offset and what was expected there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform {

enum class RecordedKind {
  Open,
  Transfer,
  Input,
  Shown,
  Raised,
  Log,
  Clock,
  Card,
  Close,
  Timer,    // a WM_TIMER the program dispatched
  Wake,     // a Sleep of one of the program's threads ended
  Message,  // a posted message the program dispatched
  State,    // the program's own state, which a replay can start from
};

// State: a timer the main thread had set, and a link device it had open.
struct RecordedTimer {
  std::string window_class;  // "" for a thread timer
  std::uint64_t id = 0;
  std::uint32_t interval_ms = 0;
};
struct RecordedDevice {
  int device = 0;  // 1 to 5 for DSK1 to DSK5
  std::uint64_t sectors = 0;
};

struct RecordedEvent {
  RecordedKind kind;
  std::int64_t ms;  // monotonic, on the header's base
  // Open, Transfer, Close: the device (1 to 5 for DSK1 to DSK5).
  int device = 0;
  // Open: opened; Transfer: done; Shown: visible; Card: ok.
  bool ok = false;
  // Open: the device's sectors; Transfer: the first sector.
  std::uint64_t sector = 0;
  // Transfer
  bool write = false;  // Card: written (else read)
  std::uint32_t sector_count = 0;
  std::uint32_t moved = 0;  // Card: the file's size
  // Transfer: the bytes read or written; Card: the file's content, when small enough to keep;
  // State: the program's own bytes.
  std::vector<std::uint8_t> data;
  // Input, Shown, Raised, Timer, Message: the window class; Log: the line; Card: the path.
  std::string text;
  // Input, Message
  std::uint32_t message = 0;
  std::uint64_t wparam = 0;  // Timer: the timer's id
  std::int64_t lparam = 0;
  // Clock
  SYSTEMTIME time = {};
  // Wake: the program's thread number (0 its main thread, then in the order it started them).
  int thread = 0;
  // State
  std::vector<RecordedTimer> timers;
  std::vector<RecordedDevice> open_devices;
};

struct Recording {
  std::uint16_t format_version = 0;
  // False for a format that does not keep what orders the threads' events (timers, wakes).
  bool replayable = false;
  std::uint32_t budget_bytes = 0;
  std::uint32_t minutes = 0;
  // Records the recorder gave up before the oldest one in the file: when not 0 the file starts
  // mid-session, and the program's state at its first event is not in it.
  std::uint32_t records_given_up = 0;
  std::int64_t start_ms = 0;
  std::int64_t wall_start_ms = 0;
  std::int64_t saved_ms = 0;
  std::string reason;
  std::string program_version;
  std::string link_devices;
  std::vector<RecordedEvent> events;
  // Set when the file ends in a torn record: where, and that what came before was read.
  std::string truncated;
};

// False with *error ("offset N: expected ...") for a file that is not a recording, of a newer
// format, or damaged inside; a torn tail is read up to its last whole record (see truncated).
bool ReadRecording(const std::uint8_t* data, std::size_t size, Recording* recording,
                   std::string* error);
bool ReadRecordingFile(const std::string& path, Recording* recording, std::string* error);

}  // namespace platform
