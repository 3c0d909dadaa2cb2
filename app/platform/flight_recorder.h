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
#include <string>

namespace platform {

struct FlightRecorderSettings {
  int minutes = 10;
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

// The memory the recorder holds (all of it taken at start), and the compressed records in use.
std::size_t FlightRecorderMemoryBytes();
std::size_t FlightRecorderKeptBytes();

}  // namespace platform
