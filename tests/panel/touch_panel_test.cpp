// Touches that talk to the panel itself rather than to the controller: the NAVI button, the
// preference regions, the view switch and the compact view, with the packets they still send.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/panel_state.h"
#include "tests/panel/panel_fixture.h"

namespace {

// Touch positions inside the regions.
constexpr int NaviX = 100, NaviY = 40;
constexpr int ScreenX = 500, ScreenY = 25;
constexpr int UsbX = 300, UsbY = 25;
constexpr int CompactLcdX = 600, CompactLcdY = 400;

// A window of another program, in the foreground, on a corner away from the buttons.
void RaiseOtherProgram(const char16_t* title) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.lpszClassName = W("OtherProgram");
  RegisterClassW(&window_class);
  HWND other = CreateWindowExW(0, W("OtherProgram"), title, WS_POPUP, 790, 470, 10, 10, nullptr,
                               nullptr, nullptr, nullptr);
  ShowWindow(other, SW_SHOW);
  SetForegroundWindow(other);
}

TEST_F(PanelTest, NaviSendsOnlyItsReleaseAndHidesThePanelInFront) {
  StartShownPanel();
  PenDown(NaviX, NaviY);
  LetLinkSend();
  EXPECT_TRUE(NewPackets().empty()) << Describe(NewPackets());
  EXPECT_EQ(Panel.ButtonId, 25);
  PenUp(NaviX, NaviY);
  // The hidden panel's count starts again: three heartbeats report it gone.
  platform::AdvanceVirtualTime(2000);

  const sim::Packet hidden = GroupPacket(0x00, 0x03, 0xBD);
  EXPECT_EQ(NewPackets(), (std::vector<sim::Packet>{Release(), hidden, hidden, hidden}))
      << Describe(NewPackets());
  EXPECT_FALSE(IsWindowVisible(Panel.MainWindow));
  EXPECT_EQ(Panel.ButtonId, 0);
}

TEST_F(PanelTest, NaviLeavesThePanelShownWhenAnotherWindowIsInFront) {
  StartShownPanel();
  RunOnMainThread([] { RaiseOtherProgram(u"Other"); });
  platform::AdvanceVirtualTime(50);
  ASSERT_NE(GetForegroundWindow(), Panel.MainWindow);
  // Not in front with the count stopped: the heartbeat stays silent.
  MarkPackets();
  Touch(NaviX, NaviY);
  platform::AdvanceVirtualTime(1500);

  EXPECT_EQ(NewPackets(), std::vector<sim::Packet>{Release()}) << Describe(NewPackets());
  EXPECT_TRUE(IsWindowVisible(Panel.MainWindow));
}

// The preference regions change the panel's own display; those that light a lamp the controller
// knows send a release at pen-up, the USB indicator does not.
TEST_F(PanelTest, PreferenceRegionsChangeOnePreferenceEach) {
  struct Case {
    const char* place;
    int x, y;
    std::int32_t PanelState::*preference;
    std::int32_t after;
    std::vector<sim::Packet> on_wire;
  };
  const std::vector<Case> cases = {
      {"AUX indicator", 200, 25, &PanelState::AuxFlag, 1, {Release()}},
      {"colour segment", 400, 25, &PanelState::LcdColourIndex, 1, {Release()}},
      {"USB indicator", UsbX, UsbY, &PanelState::UsbFlag, 1, {}},
      {"middle of the LCD", 400, 150, &PanelState::LcdFillStyle, 1, {}},
  };
  const std::vector<std::int32_t PanelState::*> preferences = {
      &PanelState::AuxFlag, &PanelState::LcdColourIndex, &PanelState::UsbFlag,
      &PanelState::LcdFillStyle};
  for (const Case& touch : cases) {
    SCOPED_TRACE(touch.place);
    TearDown();
    SetUp();
    StartShownPanel();
    Touch(touch.x, touch.y);
    EXPECT_EQ(NewPackets(), touch.on_wire) << Describe(NewPackets());
    for (auto preference : preferences) {
      EXPECT_EQ(Panel.*preference, preference == touch.preference ? touch.after : 0);
    }
  }
}

// Back to USB AUDIO while in front: the heartbeat reports it three times, and from then on the
// show reply carries the USB AUDIO bit too.
TEST_F(PanelTest, UsbIndicatorBackToAudioRestartsTheHeartbeat) {
  std::ofstream(CardPath("hbSET.DAT")) << "U_00";
  StartShownPanel();
  ASSERT_EQ(Panel.UsbFlag, 1);
  Touch(UsbX, UsbY);
  platform::AdvanceVirtualTime(2000);
  SendKey(0x53);

  const sim::Packet in_front = GroupPacket(0x00, 0x03, 0xB8);
  const sim::Packet shown = GroupPacket(0x30, 0x03, 0xB8);
  EXPECT_EQ(NewPackets(), (std::vector<sim::Packet>{in_front, in_front, in_front, shown}))
      << Describe(NewPackets());
  EXPECT_EQ(Panel.UsbFlag, 0);
}

TEST_F(PanelTest, HoldingScreenSwitchesToTheCompactViewOnce) {
  StartShownPanel();
  Touch(ScreenX, ScreenY, 1000);
  EXPECT_EQ(Panel.PanelMode, 0);
  EXPECT_TRUE(NewPackets().empty()) << Describe(NewPackets());
  // The repeats ran while the finger stayed (the first one 200 ms late, after the switch's
  // pause); none touched the view again.
  EXPECT_EQ(TraceStartingWith("QUELT_VER120 WM_TIMER 3 ").size(), 2u);
}

// A touch on the compact LCD counts as the colour segment without a lamp: every compact pen-up
// then releases, until a pen-up in the full panel puts the lamp out.
TEST_F(PanelTest, CompactLcdTouchesReleaseUntilTheFullPanelReturns) {
  StartShownPanel();
  Touch(ScreenX, ScreenY);
  ASSERT_EQ(Panel.PanelMode, 0);

  Touch(CompactLcdX, CompactLcdY);
  EXPECT_EQ(Panel.ButtonId, 29);
  EXPECT_EQ(Panel.LcdColourIndex, 1);
  Touch(471, 351);
  EXPECT_EQ(Panel.ButtonId, 29);
  EXPECT_EQ(Panel.LcdColourIndex, 2);
  EXPECT_EQ(Panel.PanelMode, 0);
  // Outside the compact LCD: the full panel comes back at pen-down, and its pen-up clears the
  // lamp.
  Touch(470, 400);
  EXPECT_EQ(Panel.PanelMode, 1);
  EXPECT_EQ(Panel.ButtonId, 0);
  EXPECT_EQ(Panel.LcdColourIndex, 2);

  EXPECT_EQ(NewPackets(), (std::vector<sim::Packet>{Release(), Release(), Release()}))
      << Describe(NewPackets());
}

// The compact LCD begins at x 471 and y 351; a touch anywhere else brings the full panel back.
TEST_F(PanelTest, CompactLcdCornerBeginsAt471And351) {
  struct Case {
    int x, y;
    bool on_compact_lcd;
  };
  StartShownPanel();
  for (const Case& touch :
       {Case{471, 351, true}, Case{799, 479, true}, Case{470, 479, false}, Case{799, 350, false}}) {
    SCOPED_TRACE(std::to_string(touch.x) + "," + std::to_string(touch.y));
    if (Panel.PanelMode == 1) Touch(ScreenX, ScreenY);
    ASSERT_EQ(Panel.PanelMode, 0);
    const std::int32_t colour = Panel.LcdColourIndex;
    Touch(touch.x, touch.y);
    EXPECT_EQ(Panel.PanelMode, touch.on_compact_lcd ? 0 : 1);
    EXPECT_EQ(Panel.LcdColourIndex, touch.on_compact_lcd ? colour + 1 : colour);
  }
}

TEST_F(PanelTest, CompactTouchHeldOverAPresetSendsItOnceTheFullPanelIsBack) {
  StartShownPanel();
  Touch(ScreenX, ScreenY);
  ASSERT_EQ(Panel.PanelMode, 0);
  Touch(150, 320, 400);
  EXPECT_EQ(Panel.PanelMode, 1);
  // The view switch itself sends nothing; the repeat finds preset 1 under the finger.
  EXPECT_EQ(NewPackets(), (std::vector<sim::Packet>{KeyPattern(0x10, 0x40), Release()}))
      << Describe(NewPackets());
}

}  // namespace
