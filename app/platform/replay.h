// Replaying a flight recording (recording_file.h) through the real program in virtual time: a
// link device backend ("replay") answers every open and read with what was recorded, the
// program's timers fire and its threads' sleeps end in the recorded order among the reads, writes
// and input (never from the virtual clock), a thread that posted to another waits for its message
// when the recording has it taken up before the poster's next write, the recorded input reaches the
// recorded windows, the storage card starts with the files the program read, and every packet the
// program writes is compared with the recorded one. The program runs unchanged; the caller gives
// its main function.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/recording_file.h"

namespace platform {

struct ReplayOptions {
  // The storage card of the run: a folder that the files the program read are put into (those
  // too large to keep must be there already).
  std::string card_folder;
  // Called every sample_ms of virtual time (after the program's threads stood still), with the
  // time since the recording started; the screen can be captured then (testing_display.h).
  std::int64_t sample_ms = 50;
  std::function<void(std::int64_t ms)> on_sample;
  // For a recording that starts mid-session: the program's main function that starts from its
  // recorded state (an event of kind State) rather than afresh. It makes its windows, takes its
  // bytes back, calls RestoreRecordedTimers, and runs on as the program does.
  std::function<int(const RecordedEvent& state)> resume_main;
};

struct ReplayResult {
  bool differs = false;
  std::int64_t from_ms = 0;        // where the replay started, since the recording started
  std::int64_t difference_ms = 0;  // since the recording started
  std::string difference;          // what differed, in words
  std::vector<std::uint8_t> recorded_bytes, program_bytes;
  std::size_t writes_compared = 0;
  std::size_t reads_answered = 0;
  std::size_t inputs_injected = 0;
  std::int64_t replayed_ms = 0;
};

// Runs the program against the recording until the recording's last event or the first
// difference. A recording that starts mid-session (its oldest blocks given up) is replayed from
// its first state, through options.resume_main. A recording that cannot be replayed differs at
// once, saying why: one of format 1, or one that starts mid-session and keeps no state (see
// MidSessionNote). Use it in a process that runs nothing else in virtual time.
ReplayResult ReplayRecording(const Recording& recording, const std::function<int()>& program_main,
                             const ReplayOptions& options);

// For a recording whose oldest blocks were given up (records_given_up): that it starts
// mid-session, when, and where a replay starts (its first state) or why none can.
std::string MidSessionNote(const Recording& recording);

// The first state of a recording, or null when it keeps none.
const RecordedEvent* FirstRecordedState(const Recording& recording);

// On the resuming program's thread that took the state, once its windows are made: sets the
// timers that thread had then, on its windows of the same classes.
void RestoreRecordedTimers(const RecordedEvent& state);

}  // namespace platform
