// A recorded minute of the panel against the simulated controller, with touches on most kinds of
// region (INFO sets the LCD text line scrolling, volume, presets held and tapped, SEEK, the fill
// style, the LCD colour, the indicators, the compact view and back): every screen it shows,
// sampled every 25 ms of virtual time, must hash as in recorded_minute_screens.txt. That file was
// recorded with the drawing platform as it was before BitBlt converted through SIMD rows, wrote
// only changed pixels onto windows and kept 24-bit pictures 24-bit, so the test shows that the
// faster drawing puts the very same pixels on the screen. To record it anew (after an intended
// change of the pictures or the clock's font), run the test with QUELT_RECORD_SCREENS=PATH.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/panel_state.h"
#include "platform/testing_display.h"
#include "tests/app/pen_script.h"
#include "tests/lcd/screen_fixture.h"

namespace {

constexpr std::int64_t SampleMs = 25;
constexpr std::int64_t RecordedMs = 60'000;

// The panel is shown at about 5 s, when the controller's start-up has passed.
constexpr ScriptedTouch Touches[] = {
    {6'000, 760, 180, 100},    // INFO: the text line scrolls from now on
    {9'000, 135, 390, 120},    // VOL up
    {12'000, 55, 390, 120},    // VOL down
    {15'000, 250, 320, 150},   // preset 2
    {18'000, 276, 390, 100},   // SEEK up
    {21'000, 400, 175, 100},   // the LCD window: solid fill
    {24'000, 400, 25, 100},    // the empty segment: next LCD colour
    {27'000, 200, 25, 100},    // AUX indicator
    {30'000, 300, 25, 100},    // USB indicator
    {33'000, 350, 320, 2400},  // preset 3 held: the lamp stays lit through refreshes
    {38'000, 500, 25, 100},    // SCREEN: the compact view
    {46'000, 500, 25, 100},    // and back
    {52'000, 400, 175, 100},   // dotted again
    {55'000, 40, 110, 100},    // FM
};

// FNV-1a over 64-bit words: the same number with any compiler and library.
std::uint64_t ScreenHash() {
  const std::vector<std::uint8_t> rgb = platform::testing::CaptureScreen();
  std::uint64_t hash = 14695981039346656037u;
  for (std::size_t i = 0; i + 8 <= rgb.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, rgb.data() + i, 8);
    hash = (hash ^ word) * 1099511628211u;
  }
  return hash;
}

// "<ms> <hash>" for each sample whose screen differs from the sample before.
std::vector<std::string> RecordMinute() {
  std::vector<std::string> screens;
  std::uint64_t last = 0;
  PenScript pen{Touches, std::size(Touches)};
  for (std::int64_t now = 0; now <= RecordedMs; now += SampleMs) {
    PlayPenScript(pen, now);
    platform::AdvanceVirtualTime(SampleMs);
    const std::uint64_t hash = ScreenHash();
    if (hash == last) continue;
    last = hash;
    screens.push_back(std::to_string(now + SampleMs) + " " + std::to_string(hash));
  }
  return screens;
}

std::vector<std::string> Lines(std::istream& in) {
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(ScreenTest, RecordedMinuteShowsTheScreensRecordedBefore) {
  PlaceCompactBackground();
  setenv("QUELT_LINK_DEVICES", "sim", 1);
  StartProgram();
  const std::vector<std::string> screens = RecordMinute();
  // Scrolling text, touches and both views: a minute of the panel shows hundreds of screens.
  EXPECT_GT(screens.size(), 500u);

  if (const char* record = std::getenv("QUELT_RECORD_SCREENS")) {
    std::ofstream out(record);
    for (const std::string& line : screens) out << line << "\n";
    GTEST_SKIP() << "recorded " << screens.size() << " screens into " << record;
  }
  std::ifstream in(QUELT_SOURCE_DIR "/tests/lcd/recorded_minute_screens.txt");
  ASSERT_TRUE(in) << "recorded_minute_screens.txt is missing";
  const std::vector<std::string> recorded = Lines(in);
  for (std::size_t i = 0; i < std::min(screens.size(), recorded.size()); ++i) {
    ASSERT_EQ(screens[i], recorded[i]) << "screen " << i << " (\"<ms> <hash>\") differs";
  }
  EXPECT_EQ(screens.size(), recorded.size());
}

}  // namespace
