// The hit map of the full front panel on the wire: each touch position against the packets the
// controller receives and the lamp that lights on screen.
#include <gtest/gtest.h>

#include <vector>

#include "app/panel_state.h"
#include "panel/lamp_table.h"
#include "platform/testing_display.h"
#include "tests/panel/panel_fixture.h"

namespace {

using platform::testing::CaptureScreen;
using platform::testing::kScreenWidth;

using Capture = std::vector<std::uint8_t>;

Capture LampArea(const Capture& screen, const ButtonLamp& lamp) {
  Capture area;
  for (int y = lamp.y; y < lamp.y + LampFrameHeight; ++y) {
    const auto row = screen.begin() + (y * kScreenWidth + lamp.x) * 3;
    area.insert(area.end(), row, row + LampFrameWidth * 3);
  }
  return area;
}

// The lamps that differ from the panel as it looked with no button held.
std::vector<int> LitLamps(const Capture& screen, const Capture& unlit) {
  std::vector<int> lit;
  for (const ButtonLamp& lamp : ButtonLamps) {
    if (LampArea(screen, lamp) != LampArea(unlit, lamp)) lit.push_back(lamp.button_id);
  }
  return lit;
}

struct HitCase {
  const char* place;
  int x, y;
  int lamp;                          // 0: none lights
  std::vector<sim::Packet> on_wire;  // the pen-down's packet, then the pen-up's release
};

std::vector<HitCase> HitCases() {
  return {
      // POWER is the only region that reaches x = 0, and it runs on past the bottom edge.
      {"POWER top left", 0, 431, 1, {KeyPattern(0x10, 0x80), Release()}},
      {"POWER bottom right", 119, 479, 1, {KeyPattern(0x10, 0x80), Release()}},
      {"POWER below the screen", 0, 65535, 1, {KeyPattern(0x10, 0x80), Release()}},
      {"above POWER", 0, 430, 0, {}},
      {"x 0 beside FM", 0, 100, 0, {}},
      {"x 0 in the arrow row", 0, 390, 0, {}},
      {"right of the screen", 65535, 200, 0, {}},
      // y = 0 belongs to no region.
      {"y 0 above NAVI", 100, 0, 0, {}},
      {"y 0 above the colour segment", 400, 0, 0, {}},
      {"y 0 above BSM", 700, 0, 0, {}},
      {"preset 1", 121, 296, 2, {KeyPattern(0x10, 0x40), Release()}},
      {"preset 2", 299, 344, 3, {KeyPattern(0x10, 0x20), Release()}},
      {"preset 3", 301, 296, 4, {KeyPattern(0x10, 0x10), Release()}},
      {"preset 4", 499, 344, 5, {KeyPattern(0x20, 0x10), Release()}},
      {"preset 5", 501, 320, 6, {KeyPattern(0x20, 0x20), Release()}},
      {"preset 6", 699, 320, 7, {KeyPattern(0x20, 0x40), Release()}},
      {"preset seam 120", 120, 320, 0, {}},
      {"preset seam 200", 200, 320, 0, {}},
      {"preset seam 300", 300, 320, 0, {}},
      {"preset seam 400", 400, 320, 0, {}},
      {"preset seam 500", 500, 320, 0, {}},
      {"preset seam 600", 600, 320, 0, {}},
      {"SEEK down", 171, 361, 12, {KeyPattern(0x20, 0x08), Release()}},
      {"SEEK up", 311, 419, 13, {KeyPattern(0x10, 0x01), Release()}},
      {"FOLDER down", 391, 419, 14, {KeyPattern(0x00, 0x20), Release()}},
      {"FOLDER up", 530, 361, 15, {KeyPattern(0x00, 0x10), Release()}},
      {"SCAN", 313, 361, 16, {KeyPattern(0x00, 0x80), Release()}},
      {"ENTER", 779, 419, 28, {KeyPattern(0x20, 0x80), Release()}},
      {"arrow row 15", 15, 390, 0, {}},
      {"arrow row seam 100", 100, 390, 0, {}},
      {"arrow row seam 170", 170, 390, 0, {}},
      {"arrow row seam 240", 240, 390, 0, {}},
      {"arrow row seam 312", 312, 390, 0, {}},
      {"arrow row seam 390", 390, 390, 0, {}},
      {"arrow row seam 460", 460, 390, 0, {}},
      {"arrow row seam 531", 531, 390, 0, {}},
      {"arrow row seam 600", 600, 390, 0, {}},
      {"arrow row seam 671", 671, 390, 0, {}},
      {"arrow row right of ENTER", 780, 390, 0, {}},
      {"band above the arrows", 150, 345, 0, {}},
      {"band above the arrows, lower edge", 150, 360, 0, {}},
      {"band below the arrows", 150, 420, 0, {}},
      {"band below the arrows, lower edge", 500, 430, 0, {}},
      {"AUX", 721, 81, 17, {KeyPattern(0x10, 0x02), Release()}},
      {"INFO", 799, 224, 18, {KeyPattern(0x00, 0x40), Release()}},
      {"SETUP", 721, 301, 19, {KeyPattern(0x00, 0x08), Release()}},
      {"CD", 1, 226, 20, {KeyPattern(0x20, 0x04), Release()}},
      {"FM", 79, 141, 21, {KeyPattern(0x10, 0x08), Release()}},
      {"AM", 1, 143, 22, {KeyPattern(0x10, 0x04), Release()}},
      {"left column seam 80", 1, 80, 0, {}},
      {"left column seam 142", 40, 142, 0, {}},
      {"left column seam 225", 79, 225, 0, {}},
      {"right column seam 80", 750, 80, 0, {}},
      {"right column seam 142", 750, 142, 0, {}},
      {"right column seam 225", 799, 225, 0, {}},
      {"BSM", 651, 1, 23, {KeyPattern(0x00, 0x04), Release()}},
      {"BSM lower right", 739, 79, 23, {KeyPattern(0x00, 0x04), Release()}},
      {"EJECT", 546, 79, 24, {WirePacket({{2, 0x30}, {8, 0x42}}), Release()}},
      {"EJECT upper right", 644, 1, 24, {WirePacket({{2, 0x30}, {8, 0x42}}), Release()}},
      {"top bar seam 150", 150, 25, 0, {}},
      {"top bar seam 250", 250, 25, 0, {}},
      {"top bar seam 450", 450, 25, 0, {}},
      {"top bar seam 545", 545, 25, 0, {}},
      {"top bar seam 645", 645, 25, 0, {}},
      {"top bar seam 650", 650, 49, 0, {}},
      {"under the indicators 150", 150, 50, 0, {}},
      {"under the indicators 300", 300, 79, 0, {}},
      {"under SCREEN 545", 545, 79, 0, {}},
      // The seam after the USB indicator lights its lamp but toggles nothing and releases
      // nothing.
      {"USB seam 350", 350, 25, 27, {}},
      {"LCD edge 200", 200, 150, 0, {}},
      {"LCD edge 100", 400, 100, 0, {}},
      {"LCD edge 250", 400, 250, 0, {}},
      {"LCD edge 600", 600, 150, 0, {}},
  };
}

TEST_F(PanelTest, EachPositionSendsItsKeyAndLightsItsLamp) {
  StartShownPanel();
  const Capture unlit = CaptureScreen();
  const std::int32_t usb_flag = Panel.UsbFlag;
  for (const HitCase& touch : HitCases()) {
    SCOPED_TRACE(touch.place);
    MarkPackets();
    PenDown(touch.x, touch.y);
    // The pen-down lights the lamp itself, before any refresh of the screen.
    platform::AdvanceVirtualTime(1);
    EXPECT_EQ(Panel.ButtonId, touch.lamp);
    const std::vector<int> lit = LitLamps(CaptureScreen(), unlit);
    EXPECT_EQ(lit, touch.lamp ? std::vector<int>{touch.lamp} : std::vector<int>{});
    platform::AdvanceVirtualTime(60);
    PenUp(touch.x, touch.y);
    // While the LCD streams, the link writes a packet every 50 ms.
    platform::AdvanceVirtualTime(150);
    EXPECT_EQ(NewPackets(), touch.on_wire) << Describe(NewPackets());
    EXPECT_EQ(Panel.ButtonId, 0);
  }
  EXPECT_EQ(Panel.UsbFlag, usb_flag);
  EXPECT_EQ(Panel.LcdFillStyle, 0);
  EXPECT_TRUE(IsWindowVisible(Panel.MainWindow));
  EXPECT_EQ(Panel.PanelMode, 1);
}

// Byte 5 beside an arrow code is 2 only when the finger comes over from the other arrow of the
// same pair.
TEST_F(PanelTest, ArrowStepFollowsThePreviousArrowOfThePair) {
  struct Arrow {
    int x, y;
    int code_byte;
    std::uint8_t code;
  };
  const Arrow volume_up{130, 390, 3, 0x11}, volume_down{50, 390, 3, 0x88};
  const Arrow file_up{630, 390, 4, 0x22}, file_down{560, 390, 4, 0x44};
  struct Step {
    Arrow arrow;
    std::uint8_t step;
  };
  const std::vector<Step> steps = {
      {volume_up, 1},
      {volume_up, 1},
      {volume_down, 2},
      {volume_up, 2},
      // The FILE pair keeps its own memory: its first touch is a first.
      {file_down, 1},
      {file_down, 1},
      {file_up, 2},
      {file_down, 2},
      // and the VOL pair has not forgotten its last arrow.
      {volume_down, 2},
      {volume_down, 1},
  };
  StartShownPanel();
  for (const Step& touch : steps) Touch(touch.arrow.x, touch.arrow.y);

  std::vector<sim::Packet> expected;
  for (const Step& touch : steps) {
    expected.push_back(
        WirePacket({{2, 0x30}, {touch.arrow.code_byte, touch.arrow.code}, {5, touch.step}}));
    expected.push_back(Release());
  }
  EXPECT_EQ(NewPackets(), expected) << Describe(NewPackets());
}

TEST_F(PanelTest, HeldKeyRepeatsEvery270MsUntilPenUp) {
  StartShownPanel();
  PenDown(150, 320);
  platform::AdvanceVirtualTime(600);
  PenUp(150, 320);
  LetLinkSend();
  const sim::Packet preset1 = KeyPattern(0x10, 0x40);
  EXPECT_EQ(NewPackets(), (std::vector<sim::Packet>{preset1, preset1, preset1, Release()}))
      << Describe(NewPackets());
  auto repeats = TraceStartingWith("QUELT_VER120 WM_TIMER 3 ");
  ASSERT_EQ(repeats.size(), 2u);
  EXPECT_EQ(repeats[1].ms - repeats[0].ms, 270);
}

}  // namespace
