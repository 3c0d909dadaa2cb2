// Seconds of the whole program in real time against the simulated controller, with taps, a held
// button (its repeats), a controller key and a view switch, saved by SIGUSR1: quelt-replay runs
// it in virtual time with no packet different. In real time the panel's own timers (heartbeat,
// repeats, autosave, the link's poll) and the link thread's sleeps fall between the reads at
// whatever moment the machine gave them, and the main thread handles the link thread's messages
// before or after that thread's next write; the replay must keep that order.
//
// The program runs in a child process forked before any thread exists, which ends with _exit:
// its link thread never stops by itself.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "app/app_main.h"
#include "app/panel_state.h"
#include "platform/flight_recorder.h"
#include "platform/testing_display.h"
#include "resources/panel_resources.h"
#include "sim/in_process.h"
#include "sim/register.h"
#include "tests/platform_recorder/replay_tool.h"

namespace {

namespace fs = std::filesystem;
using platform::testing::InjectPen;
using platform::testing::Pen;

void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

struct Touch {
  int x, y;
  int hold_ms;
  int then_ms;  // before the next one
};

constexpr Touch Touches[] = {
    {760, 180, 100, 300},   // INFO
    {135, 390, 120, 250},   // VOL up
    {350, 320, 1500, 300},  // preset 3 held through its repeats
    {400, 175, 100, 300},   // the LCD window: solid fill (a preference, then the autosave)
    {500, 25, 100, 700},    // SCREEN: the compact view (the main thread sleeps in the switch)
    {500, 25, 100, 300},    // and back
    {55, 390, 800, 300},    // VOL down held
};

// The child: the panel on its own thread, driven from this one, then a recording by SIGUSR1.
// budget_bytes 0 keeps the whole session; a small one gives up its start, and then the state is
// asked for every state_every_ms.
[[noreturn]] void RecordInRealTime(const std::string& card, const std::string& recordings,
                                   std::size_t budget_bytes) {
  platform::testing::ForceHeadlessDisplay();
  setenv("QUELT_STORAGE_CARD", card.c_str(), 1);
  setenv("QUELT_LINK_DEVICES", "sim", 1);
  RegisterSimulatorDevices();
  SetResourceTable(&PanelResources());
  ResetPanelState();
  std::shared_ptr<sim::Controller> controller = sim::StartInProcessController("variant=2");
  platform::FlightRecorderSettings settings;
  settings.folder = recordings;
  settings.version = "test";
  settings.budget_bytes = budget_bytes;
  settings.state_every_ms = 1'000;
  if (!controller || !platform::StartFlightRecorderWith(settings)) _exit(3);
  // Reads that take a few milliseconds, as over the unit's USB: the polls drift against the
  // main thread's timers as they do in the car.
  std::thread([controller] {
    for (std::uint32_t i = 0;; ++i) {
      controller->StallNextRead(2 + i % 5);
      Wait(1);
    }
  }).detach();
  std::thread([] { AppMain(nullptr, nullptr, nullptr, SW_SHOW); }).detach();
  // The controller asks for the panel after the start-up packets. (The window is looked up, not
  // read from the panel's state, which its own threads write.)
  for (int wait = 0; wait < 1000; ++wait) {
    const HWND window = FindWindowW(W("QUELT_VER120"), nullptr);
    if (window && IsWindowVisible(window)) break;
    Wait(10);
  }
  Wait(500);
  for (const Touch& touch : Touches) {
    if (!InjectPen(Pen::Down, touch.x, touch.y)) _exit(4);
    Wait(touch.hold_ms);
    InjectPen(Pen::Up, touch.x, touch.y);
    Wait(touch.then_ms);
  }
  controller->QueueKey(0x52);  // volume up from the controller's own knob
  Wait(600);
  const int written = platform::FlightRecordingsWritten();
  raise(SIGUSR1);
  for (int wait = 0; wait < 3000 && platform::FlightRecordingsWritten() == written; ++wait) {
    Wait(10);
  }
  _exit(platform::FlightRecordingsWritten() == written + 1 ? 0 : 5);
}

// Records in a forked child, then replays; the replay's output, or "" after a failure.
std::string RecordAndReplay(std::size_t budget_bytes, std::string* printed) {
  char folder[] = "/tmp/quelt-realtime-XXXXXX";
  EXPECT_NE(mkdtemp(folder), nullptr);
  const std::string card = std::string(folder) + "/card";
  const std::string recordings = std::string(folder) + "/recordings";
  fs::create_directories(card);
  fs::create_directories(recordings);
  const pid_t child = fork();
  EXPECT_NE(child, -1);
  if (child == 0) RecordInRealTime(card, recordings, budget_bytes);
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;

  const std::vector<std::string> files = recorder_test::FileNames(recordings, "-request.qrec");
  EXPECT_EQ(files.size(), 1u);
  if (files.size() != 1) return "";
  const std::string recording = recordings + "/" + files[0];
  EXPECT_EQ(recorder_test::RunReplay(recording + " print", printed), 0) << *printed;
  std::string output;
  EXPECT_EQ(recorder_test::RunReplay(recording + " run", &output), 0) << output;
  EXPECT_NE(output.find("\nno difference\n"), std::string::npos) << output;
  EXPECT_EQ(output.find(" 0 packets compared"), std::string::npos) << output;
  // A recording that did not replay stays for quelt-replay print.
  if (::testing::Test::HasFailure()) {
    std::printf("kept %s\n", recording.c_str());
  } else {
    fs::remove_all(folder);
  }
  return output;
}

TEST(RealTimeReplayTest, RecordingMadeInRealTimeReplaysWithNoDifference) {
  std::string printed;
  RecordAndReplay(0, &printed);
  for (const char* line :
       {"timer 20 (link poll) of DiskRead", "timer 1 (heartbeat) of QUELT_VER120",
        "timer 3 (button repeat) of QUELT_VER120", "thread 1 ends a sleep"}) {
    EXPECT_NE(printed.find(line), std::string::npos) << line;
  }
}

// A ring of a few seconds gives up the session's start: the replay starts from the first state
// kept, which the main thread took between two of the link thread's polls.
TEST(RealTimeReplayTest, RecordingThatStartsMidSessionReplaysFromItsState) {
  std::string printed;
  const std::string output = RecordAndReplay(12 * 1024, &printed);
  EXPECT_NE(printed.find("the recording starts mid-session"), std::string::npos);
  EXPECT_NE(output.find("started from the panel's state at"), std::string::npos) << output;
}

}  // namespace
