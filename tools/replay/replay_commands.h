// The commands of quelt-replay, each over a recording already read.
#pragma once

#include <cstdio>
#include <string>

#include "platform/recording_file.h"

// One event a line, decoded the way an engineer reads it.
void PrintRecording(const platform::Recording& recording, std::FILE* out);

struct RunOptions {
  std::string screens_folder;  // PNG of each changed screen, when set
  std::string video_path;      // animated WebP of the screens, when set
  std::string card_folder;     // copied onto the run's card first (the pictures), when set
};
// Replays the recording through the panel; 0 when no packet differed, 1 at a difference.
int RunRecording(const platform::Recording& recording, const RunOptions& options);
