// The autosave timer in the running program, in virtual time: when the settings file is written,
// what it then holds, and what is never written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/panel_state.h"
#include "platform/testing_display.h"
#include "sim/in_process.h"
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

// Seen on a unit: with the compact background missing, its load-error box was up when the
// controller showed the panel; two taps reached the main window (the first left the compact view
// that the panel shows before its initial state is set, the second toggled the AUX indicator),
// and the autosave wrote "_A00" over the stored "UA31" before OK was pressed. While the box is
// up, a touch through the display reaches nothing, and a preference changed by other means is not
// written before the file has been read; afterwards touches work and are saved as usual.
TEST_F(AutosaveTest, NothingIsWrittenWhileTheLoadErrorBoxIsUp) {
  constexpr int AuxIndicatorX = 200, AuxIndicatorY = 25;
  struct Case {
    const char* taps;
    bool through_the_display;  // else posted to the window directly, bypassing the display
  };
  struct AnswerBoxesAtOnceAfterwards {
    ~AnswerBoxesAtOnceAfterwards() { platform::testing::SetMessageBoxDelayMs(0); }
  } answer_boxes_at_once_afterwards;
  for (const Case& row : {Case{"on the screen", true}, Case{"posted", false}}) {
    SCOPED_TRACE(row.taps);
    TearDown();
    SetUp();
    setenv("QUELT_LINK_DEVICES", "sim", 1);
    ASSERT_NE(sim::StartInProcessController(), nullptr);
    std::ofstream(FilePath()) << "UA31";
    platform::testing::SetMessageBoxDelayMs(20000);
    const auto tap_aux_indicator = [](bool on_screen) {
      if (on_screen) {
        platform::testing::InjectPen(platform::testing::Pen::Down, AuxIndicatorX, AuxIndicatorY);
        platform::testing::InjectPen(platform::testing::Pen::Up, AuxIndicatorX, AuxIndicatorY);
      } else {
        PostMessageW(Panel.MainWindow, WM_LBUTTONDOWN, 0, MAKELPARAM(AuxIndicatorX, AuxIndicatorY));
        PostMessageW(Panel.MainWindow, WM_LBUTTONUP, 0, MAKELPARAM(AuxIndicatorX, AuxIndicatorY));
      }
      platform::AdvanceVirtualTime(300);
    };
    StartProgram();
    RunUntil(4000);
    ASSERT_EQ(platform::testing::MessageBoxesShown().size(), 1u);
    ASSERT_TRUE(IsWindowVisible(Panel.MainWindow));
    tap_aux_indicator(row.through_the_display);
    tap_aux_indicator(row.through_the_display);
    EXPECT_EQ(Panel.AuxFlag, row.through_the_display ? 0 : 1);

    // Autosave ticks at 5100, 10200 and 15300 while the box is up; it is answered at 20000.
    RunUntil(19000);
    EXPECT_EQ(FileContent(), "UA31");
    RunUntil(21000);
    EXPECT_EQ(FileContent(), "UA31");
    EXPECT_EQ((std::vector<std::int32_t>{Panel.UsbFlag, Panel.AuxFlag, Panel.LcdColourIndex,
                                         Panel.LcdFillStyle}),
              (std::vector<std::int32_t>{1, 1, 3, 1}));

    // The box is gone: the panel takes touches again, and the next tick saves their change.
    tap_aux_indicator(true);
    RunUntil(25600);
    EXPECT_EQ(FileContent(), "U_31");
  }
}

}  // namespace
