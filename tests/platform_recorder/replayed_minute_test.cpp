// A scripted minute of the panel against the simulated controller, recorded by the flight
// recorder and saved by SIGUSR1, replays through `quelt-replay run` with no packet different and
// the very same screens: touches on the panel's regions, a button held through its repeats, key
// codes from the controller, both views, preference changes (fill style, LCD colour, which go to
// the settings file) and a link lost and found again.
#include <signal.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "app/app_main.h"
#include "platform/flight_recorder.h"
#include "platform/png_file.h"
#include "platform/testing_display.h"
#include "sim/in_process.h"
#include "tests/app/pen_script.h"
#include "tests/app/shell_fixture.h"
#include "tests/platform_recorder/replay_tool.h"

namespace {

namespace fs = std::filesystem;
using recorder_test::FileNames;
using recorder_test::RunReplay;

constexpr std::int64_t ScriptMs = 60'000;
// quelt-replay samples the screen this often too.
constexpr std::int64_t SampleMs = 50;

constexpr ScriptedTouch Touches[] = {
    {6'000, 760, 180, 100},    // INFO
    {8'000, 135, 390, 120},    // VOL up
    {10'000, 55, 390, 120},    // VOL down
    {12'000, 250, 320, 150},   // preset 2
    {14'000, 276, 390, 100},   // SEEK up
    {16'000, 400, 175, 100},   // the LCD window: solid fill (a preference)
    {18'000, 400, 25, 100},    // the empty segment: next LCD colour (a preference)
    {20'000, 200, 25, 100},    // AUX indicator
    {22'000, 300, 25, 100},    // USB indicator
    {24'000, 350, 320, 2400},  // preset 3 held through its repeats
    {28'000, 40, 110, 100},    // FM
    {30'000, 500, 25, 100},    // SCREEN: the compact view
    {34'000, 500, 25, 100},    // and back
    {50'000, 400, 175, 100},   // dotted again
    {53'000, 135, 390, 1500},  // VOL up held
};

struct ScriptedKey {
  std::int64_t at_ms;
  std::uint8_t code;
};

constexpr ScriptedKey ControllerKeys[] = {
    {36'000, 0x52},  // volume up
    {37'000, 0x52},  // again: a repeated key
    {38'000, 0x51},  // volume down
    {39'000, 0x83},  // the other view
    {41'000, 0x83},  // and back
};

constexpr std::int64_t LinkLostAtMs = 43'000;
constexpr std::uint32_t LinkLostForMs = 2'500;

class ReplayedMinuteTest : public ShellTest {
 protected:
  // Samples the screen as quelt-replay does and keeps each changed one as screen-<ms>.png.
  void SampleScreen(std::int64_t ms, const std::string& folder) {
    std::vector<std::uint8_t> screen = platform::testing::CaptureScreen();
    if (screen == last_screen_) return;
    char name[32];
    std::snprintf(name, sizeof name, "/screen-%07" PRId64 ".png", ms);
    ASSERT_TRUE(platform::WritePngFile(folder + name, platform::testing::kScreenWidth,
                                       platform::testing::kScreenHeight, screen));
    last_screen_ = std::move(screen);
  }

  void RunScript(const std::string& screens) {
    auto controller = sim::InProcessController();
    PenScript pen{Touches, std::size(Touches)};
    std::size_t next_key = 0;
    for (std::int64_t now = 0; now < ScriptMs; now += SampleMs) {
      PlayPenScript(pen, now);
      if (next_key < std::size(ControllerKeys) && ControllerKeys[next_key].at_ms == now) {
        controller = sim::InProcessController();
        ASSERT_TRUE(controller);
        controller->QueueKey(ControllerKeys[next_key++].code);
      }
      if (now == LinkLostAtMs) sim::InProcessController()->VanishFor(LinkLostForMs, 0);
      platform::AdvanceVirtualTime(SampleMs);
      SampleScreen(now + SampleMs, screens);
    }
  }

  // Plays the script with the recorder on (budget_bytes 0: the minutes' budget), saves by
  // SIGUSR1 and returns the file; the live screens go to live/, *packets counts what the
  // controller received.
  std::string RecordScript(std::size_t budget_bytes, const std::string& live,
                           std::size_t* packets) {
    const std::string recordings = CardPath("recordings");
    fs::create_directories(recordings);
    fs::create_directories(live);
    setenv("QUELT_LINK_DEVICES", "sim", 1);
    EXPECT_TRUE(sim::StartInProcessController("variant=2"));
    platform::FlightRecorderSettings settings;
    settings.folder = recordings;
    settings.version = "test";
    settings.budget_bytes = budget_bytes;
    EXPECT_TRUE(platform::StartFlightRecorderWith(settings));
    platform::StartMainThread([] { return AppMain(nullptr, nullptr, nullptr, SW_SHOW); });
    RunScript(live);
    *packets = sim::InProcessController()->Packets().size();

    // The recorder's own thread answers the signal; the threads of the run stand still meanwhile.
    const int written = platform::FlightRecordingsWritten();
    raise(SIGUSR1);
    for (int wait = 0; wait < 6000 && platform::FlightRecordingsWritten() == written; ++wait) {
      Sleep(10);
    }
    platform::StopFlightRecorder();
    const std::vector<std::string> requested = FileNames(recordings, "-request.qrec");
    EXPECT_EQ(requested.size(), 1u);
    EXPECT_EQ(FileNames(recordings, "-link-lost.qrec").size(), 1u);
    return requested.empty() ? "" : recordings + "/" + requested[0];
  }

  std::vector<std::uint8_t> last_screen_;
};

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::int64_t ScreenMs(const std::string& name) {
  return std::stoll(name.substr(std::strlen("screen-"), 7));
}

TEST_F(ReplayedMinuteTest, RecordedMinuteReplaysWithTheSamePacketsAndScreens) {
  const std::string live = CardPath("live");
  const std::string replayed = CardPath("replayed");
  std::size_t packets = 0;
  const std::string recording = RecordScript(0, live, &packets);
  ASSERT_FALSE(recording.empty());

  // What an engineer reads: the touches with their regions, the key codes by name, the link,
  // the preferences written.
  std::string printed;
  EXPECT_EQ(RunReplay(recording + " print", &printed), 0) << printed;
  for (const char* line :
       {"pen down at (250, 320) on QUELT_VER120: preset 2 on the full panel",
        "pen up at (135, 390) on QUELT_VER120: VOL up (right arrow)", "key code 52 (volume up)",
        "key code 83 (switch the view)", "log: link found on DSK1: (variant 2)",
        "log: the link on DSK1: is lost", "card file written hbSET.DAT",
        "card file read \\Storage Card\\hbSET.DAT (missing)"}) {
    EXPECT_NE(printed.find(line), std::string::npos) << line;
  }

  std::string output;
  const int status = RunReplay(recording + " run --screens " + replayed, &output);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("\nno difference\n"), std::string::npos) << output;
  // Every packet the controller received was compared (the simulator counts the same writes).
  EXPECT_NE(output.find(std::to_string(packets) + " packets compared"), std::string::npos)
      << packets << " packets: " << output;

  const std::vector<std::string> live_screens = FileNames(live, ".png");
  const std::vector<std::string> replayed_screens = FileNames(replayed, ".png");
  ASSERT_GT(live_screens.size(), 100u);
  // The replay ends with the recording's last event, a little before the script's end.
  std::vector<std::string> compared(
      live_screens.begin(),
      live_screens.begin() +
          static_cast<long>(std::min(live_screens.size(), replayed_screens.size())));
  EXPECT_GE(compared.size() + 2, live_screens.size());
  for (std::size_t i = 0; i < compared.size(); ++i) {
    ASSERT_EQ(replayed_screens[i], compared[i]) << "the screens changed at other times";
    ASSERT_TRUE(Contents(live + "/" + compared[i]) == Contents(replayed + "/" + compared[i]))
        << compared[i] << " differs";
  }
}

// With a ring too small for the minute, the file starts mid-session: the replay starts from the
// panel's state kept after the oldest block kept began, and from there on every packet and every
// screen is the live run's.
TEST_F(ReplayedMinuteTest, MinuteWhoseStartWasGivenUpReplaysFromTheKeptState) {
  const std::string live = CardPath("live");
  const std::string replayed = CardPath("replayed");
  std::size_t packets = 0;
  const std::string recording = RecordScript(96 * 1024, live, &packets);
  ASSERT_FALSE(recording.empty());

  std::string printed;
  EXPECT_EQ(RunReplay(recording + " print", &printed), 0) << printed;
  EXPECT_NE(printed.find("the recording starts mid-session"), std::string::npos);
  EXPECT_NE(printed.find("a replay starts from the program's state kept at"), std::string::npos)
      << printed.substr(0, 600);
  EXPECT_NE(printed.find("the panel's state ("), std::string::npos);

  std::string output;
  const int status = RunReplay(recording + " run --screens " + replayed, &output);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("\nno difference\n"), std::string::npos) << output;
  EXPECT_NE(output.find("started from the panel's state at"), std::string::npos) << output;
  EXPECT_EQ(output.find(" 0 packets compared"), std::string::npos) << output;

  // Each screen the replay wrote is the one the live run showed at that moment: the last live
  // screen written at or before it.
  const std::vector<std::string> live_screens = FileNames(live, ".png");
  const std::vector<std::string> replayed_screens = FileNames(replayed, ".png");
  ASSERT_GT(replayed_screens.size(), 10u) << output;
  for (const std::string& name : replayed_screens) {
    const std::int64_t ms = ScreenMs(name);
    std::string shown;
    for (const std::string& live_name : live_screens) {
      if (ScreenMs(live_name) <= ms) shown = live_name;
    }
    ASSERT_FALSE(shown.empty()) << name;
    ASSERT_TRUE(Contents(live + "/" + shown) == Contents(replayed + "/" + name))
        << name << " differs from " << shown;
  }
}

}  // namespace
