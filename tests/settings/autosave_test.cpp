// The autosave timer in the running program, in virtual time: when the settings file is written,
// what it then holds, and what is never written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/panel_state.h"
#include "tests/app/shell_fixture.h"

namespace {

namespace fs = std::filesystem;

class AutosaveTest : public ShellTest {
 protected:
  std::string FilePath() const { return CardPath("hbSET.DAT"); }
  std::string FileContent() const {
    std::ifstream file(FilePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  // Runs until the given virtual time.
  void RunUntil(std::int64_t ms) { platform::AdvanceVirtualTime(ms - platform::VirtualNowMs()); }
  // A touch on the middle of the panel's LCD, which switches its pixels between dotted and solid.
  void ToggleFillStyleAt(std::int64_t ms) {
    RunUntil(ms);
    PostMessageW(Panel.MainWindow, WM_LBUTTONDOWN, 0, MAKELPARAM(400, 150));
    PostMessageW(Panel.MainWindow, WM_LBUTTONUP, 0, MAKELPARAM(400, 150));
    platform::AdvanceVirtualTime(1);
  }
};

TEST_F(AutosaveTest, NoFileIsWrittenUntilAPreferenceChanges) {
  StartProgram();
  ToggleFillStyleAt(10300);
  ASSERT_EQ(Panel.LcdFillStyle, 1);
  EXPECT_FALSE(fs::exists(FilePath()));

  RunUntil(15299);
  EXPECT_FALSE(fs::exists(FilePath()));
  RunUntil(15301);
  EXPECT_EQ(FileContent(), "__01");
  std::vector<std::int64_t> ticks;
  for (const auto& tick : TraceStartingWith("QUELT_VER120 WM_TIMER 2 ")) ticks.push_back(tick.ms);
  EXPECT_EQ(ticks, (std::vector<std::int64_t>{5100, 10200, 15300}));
}

TEST_F(AutosaveTest, ChangingOnePreferenceWritesAllFour) {
  std::ofstream(FilePath()) << "UA30";
  StartProgram();
  ToggleFillStyleAt(1000);
  RunUntil(5101);
  EXPECT_EQ(FileContent(), "UA31");
}

// A change and its undoing within one period are never seen by the timer: the file keeps even
// the characters that a write would have dropped.
TEST_F(AutosaveTest, ChangeUndoneWithinAPeriodLeavesTheFileAlone) {
  std::ofstream(FilePath()) << "UA31 and more";
  StartProgram();
  ToggleFillStyleAt(1000);
  ToggleFillStyleAt(2000);
  RunUntil(11000);
  EXPECT_EQ(FileContent(), "UA31 and more");
}

// There is no save at the end: only a tick after the change writes it.
TEST_F(AutosaveTest, ChangeShortlyBeforeTheEndIsLost) {
  struct Case {
    std::int64_t change_ms;
    bool saved;
  };
  for (const Case& row : {Case{5000, true}, Case{5200, false}}) {
    SCOPED_TRACE(row.change_ms);
    TearDown();
    SetUp();
    StartProgram();
    ToggleFillStyleAt(row.change_ms);
    RunUntil(10000);
    PostMessageW(Panel.MainWindow, WM_CLOSE, 0, 0);
    ASSERT_TRUE(platform::RunUntilMainReturns(1000, nullptr));
    EXPECT_EQ(fs::exists(FilePath()), row.saved);
    if (row.saved) {
      EXPECT_EQ(FileContent(), "__01");
    }
  }
}

TEST_F(AutosaveTest, UnwritableCardIsRetriedAtTheNextTick) {
  fs::create_directory(FilePath());
  StartProgram();
  ToggleFillStyleAt(1000);
  RunUntil(5200);
  EXPECT_TRUE(fs::is_directory(FilePath()));
  EXPECT_EQ(Panel.SavedLcdFillStyle, 0);

  fs::remove(FilePath());
  RunUntil(10300);
  EXPECT_EQ(FileContent(), "__01");
  EXPECT_EQ(Panel.SavedLcdFillStyle, 1);
}

}  // namespace
