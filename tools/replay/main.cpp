// quelt-replay: reads a flight recording of the panel and prints it or replays it through the
// real program. Start reading at main; the commands are in print_recording.cpp and
// run_recording.cpp.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/program_version.h"
#include "platform/recording_file.h"
#include "tools/replay/replay_commands.h"

namespace {

constexpr char Usage[] =
    "usage: quelt-replay FILE print\n"
    "       quelt-replay FILE run [--card DIR] [--screens DIR] [--video FILE.webp]\n"
    "\n"
    "Reads a flight recording of quelt-panel (quelt-recording-*.qrec, written on SIGUSR1, when\n"
    "the link is lost and at a crash, into QUELT_RECORDER_DIR or the storage card folder).\n"
    "\n"
    "  print             the recording as text, one event a line: link device opens, reads\n"
    "                    (key codes, status, the signature, LCD frames as a hash when they\n"
    "                    change), the command packets with the button they stand for, pen and\n"
    "                    key input, windows shown and hidden, the program's log lines, the\n"
    "                    clock's minute, the settings file read and written, the timers and\n"
    "                    the threads' sleeps\n"
    "  run               the panel itself, in virtual time, against a controller that answers\n"
    "                    every read with what was recorded; its timers fire, its sleeps end and\n"
    "                    the recorded input comes in the recorded order; each packet the panel\n"
    "                    writes is compared with the recorded one. Ends with status 0 when none\n"
    "                    differs, 1 at the first difference (its time and both byte strings are\n"
    "                    printed)\n"
    "  --card DIR        with run: the storage card's files to start from (the compact view's\n"
    "                    picture is too large to be recorded); the settings file as recorded\n"
    "                    replaces the folder's\n"
    "  --screens DIR     with run: each screen that changed, as DIR/screen-<ms>.png\n"
    "  --video FILE      with run: the screens as an animated WebP a browser shows\n"
    "\n"
    "Exit status: 0 done, 1 the replay differs, 2 bad arguments, a file that is not a\n"
    "readable recording, or run on a format 1 recording (it has no timers to replay).\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(Usage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("quelt-replay %s\n", ProgramVersion);
      return 0;
    }
  }
  if (argc < 3) {
    std::fputs(Usage, stderr);
    return 2;
  }
  const std::string command = argv[2];
  RunOptions options;
  for (int i = 3; i < argc; ++i) {
    const std::string option = argv[i];
    std::string* value = option == "--screens" ? &options.screens_folder
                         : option == "--video" ? &options.video_path
                         : option == "--card"  ? &options.card_folder
                                               : nullptr;
    if (value && i + 1 < argc && command == "run") {
      *value = argv[++i];
    } else {
      std::fprintf(stderr, "quelt-replay: unknown argument \"%s\"\n%s", argv[i], Usage);
      return 2;
    }
  }
  if (command != "print" && command != "run") {
    std::fprintf(stderr, "quelt-replay: unknown command \"%s\"\n%s", command.c_str(), Usage);
    return 2;
  }
  platform::Recording recording;
  std::string error;
  if (!platform::ReadRecordingFile(argv[1], &recording, &error)) {
    std::fprintf(stderr, "quelt-replay: %s: %s\n", argv[1], error.c_str());
    return 2;
  }
  if (!recording.truncated.empty()) {
    std::fprintf(stderr, "quelt-replay: %s: %s\n", argv[1], recording.truncated.c_str());
  }
  if (command == "print") {
    PrintRecording(recording, stdout);
    return 0;
  }
  return RunRecording(recording, options);
}
