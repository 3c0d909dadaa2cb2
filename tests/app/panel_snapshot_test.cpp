// The panel's state as the flight recorder keeps it: it comes back whole into a fresh record,
// the LCD's pixels rebuilt from the pages applied, and bytes of another layout change nothing.
#include "app/panel_snapshot.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/panel_state.h"

namespace {

void SetSomeState() {
  Panel.PanelMode = CompactViewMode;
  Panel.HeartbeatCount = 7;
  Panel.ButtonId = -3;
  Panel.LcdFillStyle = 1;
  Panel.SettingsRead = true;
  Panel.ClockText[0] = u'M';
  Panel.LinkConnected = 1;
  Panel.ProbeNameIndex = 2;
  Panel.LinkVariant = 1;
  Panel.StreamMode = 0;
  Panel.CommandQueue.count = 2;
  Panel.CommandQueue.slots[1][3] = 0x42;
  Panel.LcdPageImage[3][100] = 0x81;
  Panel.LcdPageShadow[3][100] = 0x81;
  Panel.LcdPageImage[15][400] = 0x7E;  // filed, outside what reaches the screen
}

TEST(PanelSnapshotTest, StateComesBackWholeAndOtherLayoutsChangeNothing) {
  ResetPanelState();
  SetSomeState();
  std::vector<std::uint8_t> bytes(64 * 1024);
  const std::size_t size = WritePanelState(bytes.data(), bytes.size());
  ASSERT_GT(size, 3u);
  EXPECT_EQ(WritePanelState(bytes.data(), size - 1), 0u) << "a buffer too small";

  ResetPanelState();
  EXPECT_FALSE(ReadPanelState(bytes.data(), size - 1));
  EXPECT_FALSE(ReadPanelState(bytes.data(), size + 1));
  bytes[0] ^= 0xFF;
  EXPECT_FALSE(ReadPanelState(bytes.data(), size));
  bytes[0] ^= 0xFF;
  EXPECT_EQ(Panel.HeartbeatCount, 0u);
  EXPECT_EQ(Panel.LcdPageImage[3][100], 0);

  ASSERT_TRUE(ReadPanelState(bytes.data(), size));
  EXPECT_EQ(Panel.PanelMode, CompactViewMode);
  EXPECT_EQ(Panel.HeartbeatCount, 7u);
  EXPECT_EQ(Panel.ButtonId, -3);
  EXPECT_TRUE(Panel.SettingsRead);
  EXPECT_EQ(Panel.ClockText[0], u'M');
  EXPECT_EQ(Panel.ProbeNameIndex, 2);
  EXPECT_EQ(Panel.LinkVariant.load(), 1);
  EXPECT_EQ(Panel.StreamMode.load(), 0);
  EXPECT_EQ(Panel.CommandQueue.count, 2);
  EXPECT_EQ(Panel.CommandQueue.slots[1][3], 0x42);
  EXPECT_EQ(Panel.LcdPageImage[15][400], 0x7E);
  // Page 3 is rows 24 to 31, bit 0 on top.
  EXPECT_EQ(Panel.LcdPixelMatrix[24][100], 255);
  EXPECT_EQ(Panel.LcdPixelMatrix[25][100], 0);
  EXPECT_EQ(Panel.LcdPixelMatrix[31][100], 255);

  std::vector<std::uint8_t> again(bytes.size());
  ASSERT_EQ(WritePanelState(again.data(), again.size()), size);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + static_cast<long>(size), again.begin()));
  ResetPanelState();
}

}  // namespace
