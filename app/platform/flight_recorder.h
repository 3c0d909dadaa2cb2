// The flight recorder: always on, in memory, bounded. It keeps the last minutes of what crosses
// the program's edges (link device opens and transfers, input as the display delivered it, window
// visibility, the program's debug lines, the local time it reads, the storage card files it reads
// and replaces, the timers and posted messages it dispatches and the ends of its threads'
// sleeps), with their monotonic times, and writes them to a file (recording_file.h) on
// request (SIGUSR1), when a link device that answered stops answering, and from a fatal signal.
//
// The environment sets it up: QUELT_RECORDER_MINUTES (default 10; 0 turns it off) and
// QUELT_RECORDER_DIR (default the storage card folder, QUELT_STORAGE_CARD). Files are named
// "quelt-recording-<UTC time>-<reason>.qrec"; the folder keeps the newest eight; each file
// written gets one line in the log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

struct FlightRecorderSettings {
  int minutes = 10;
  std::size_t budget_bytes = 0;  // memory for compressed records; 0: what the minutes need
  // How often the program's state is asked for (SetProgramStateRequest): a recording that starts
  // mid-session replays from its first state, so at most this much of it is not replayed.
  std::int64_t state_every_ms = 30'000;
  std::string folder;        // where files go; empty: no files, only memory
  std::string version = "";  // the program's, for the file header
};

// From the environment; false when the recorder stays off (minutes 0).
bool StartFlightRecorder(const char* program_version);
// Starts (or restarts, dropping what was kept) with explicit settings. Also installs the handlers
// of SIGUSR1 and of the fatal signals. Start it once the active clock is the one the program
// runs on (in a virtual run, after the run started).
bool StartFlightRecorderWith(const FlightRecorderSettings& settings);
// Stops recording and forgets what was kept; the signal handlers stay and do nothing.
void StopFlightRecorder();

// Writes what is kept to a new file now, on the calling thread: the same as SIGUSR1 asks of the
// recorder's own thread. Returns the file's path, or "" when nothing was written (the recorder is
// off, no folder, the card is full; the log says why).
std::string SaveFlightRecording(const char* reason);
// Files written since the process started, by any path (request, signal, link loss).
int FlightRecordingsWritten();

// The program's own state, from which a replay of a file whose oldest minutes were given up
// starts. The recorder asks for it at the start of a block once state_every_ms passed, calling ask
// on the thread that set it when that thread is about to wait for messages with none queued. The
// program answers, when it can, with RecordProgramState while none of its threads can change what
// it records.
void SetProgramStateRequest(void (*ask)());
// The program's bytes (at most 64 KiB, read only by the program), kept with the calling thread's
// timers and the link devices open. False, and nothing kept, when a message waits for the thread
// or no state was asked for.
bool RecordProgramState(const std::uint8_t* bytes, std::size_t size);

// The memory the recorder holds (all of it taken at start), and the compressed records in use.
std::size_t FlightRecorderMemoryBytes();
std::size_t FlightRecorderKeptBytes();

}  // namespace platform
