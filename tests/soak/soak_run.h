// The fault soak: the whole program (AppMain, its main thread and its link thread) in virtual time
// on the headless display, against the in-process simulated controller, driven for the virtual
// time asked with touches, held touches, controller key codes, view and preference changes and
// clock changes, while faults are injected into the controller at random. Everything follows from
// the seed, so a run replays exactly. Invariants are checked throughout (see soak_run.cpp); the
// first one that fails ends the run with the seed and the virtual time.
#pragma once

#include <cstdint>
#include <string>

struct SoakOptions {
  std::uint64_t seed = 1;
  std::int64_t virtual_ms = 60'000;
  // Keep the platform's trace of the whole run, for comparing two runs; short runs only.
  bool record_trace = false;
  // A line on stderr at every memory sample (each virtual hour, or six a run), for long runs.
  bool report_progress = false;
};

struct SoakReport {
  bool passed = false;
  std::string failure;  // "seed S, virtual time T ms: ..."
  std::string summary;  // the figures of the run, a few lines
  std::string trace;    // FormatTrace of the run when recorded
  std::int64_t virtual_ms = 0;
  std::uint64_t faults_injected = 0;
};

SoakReport RunSoak(const SoakOptions& options);
