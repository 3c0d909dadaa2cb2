// The heartbeat: what its status byte reports, and that after each reset of its count only three
// ticks send.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/panel_state.h"
#include "tests/panel/panel_fixture.h"

namespace {

struct TimedPacket {
  std::int64_t ms;
  sim::Packet packet;
  bool operator==(const TimedPacket& other) const {
    return ms == other.ms && packet == other.packet;
  }
};

void PrintTo(const TimedPacket& timed, std::ostream* out) {
  *out << timed.ms << " ms:" << Describe({timed.packet});
}

// Without a controller the window stays hidden from start; the test takes each packet from the
// queue as soon as it is queued.
TEST_F(PanelWithoutControllerTest, FromStartThreeHiddenHeartbeatsThenSilence) {
  StartProgram();
  std::vector<TimedPacket> queued;
  for (int step = 0; step < 100; ++step) {
    platform::AdvanceVirtualTime(50);
    for (const sim::Packet& packet : TakeQueuedPackets()) {
      queued.push_back({platform::VirtualNowMs(), packet});
    }
  }
  const sim::Packet hidden = GroupPacket(0x00, 0x03, 0xBD);
  EXPECT_EQ(queued, (std::vector<TimedPacket>{{400, hidden}, {800, hidden}, {1200, hidden}}));
  // The count stops at 10.
  EXPECT_EQ(Panel.HeartbeatCount, 10u);
  EXPECT_EQ(Panel.UsbAudioBit.load(), 0x08);
}

// Each row starts with the preferences from the settings file and resets the count: hidden by
// key 0x3A, or in front by hiding and showing again with two 0x82 keys between two ticks.
TEST_F(PanelTest, StatusByteReportsFrontUsbAndAux) {
  struct Case {
    const char* settings;
    bool in_front;
    std::vector<sim::Packet> status;
  };
  const sim::Packet shown_usb_audio = GroupPacket(0x30, 0x03, 0xB8);
  const sim::Packet shown_usb_navi = GroupPacket(0x30, 0x03, 0xB0);
  const auto three = [](std::uint8_t value) {
    const sim::Packet heartbeat = GroupPacket(0x00, 0x03, value);
    return std::vector<sim::Packet>{heartbeat, heartbeat, heartbeat};
  };
  const auto after = [](sim::Packet first, std::vector<sim::Packet> rest) {
    rest.insert(rest.begin(), first);
    return rest;
  };
  const std::vector<Case> cases = {
      {"__00", false, three(0xBD)},
      {"_A00", false, three(0xB9)},
      {"U_00", false, three(0xB5)},
      {"UA00", false, three(0xB1)},
      {"__00", true, after(shown_usb_audio, three(0xB8))},
      {"_A00", true, after(shown_usb_audio, three(0xB8))},
      // In front with USB NAVI the heartbeat is silent; the show reply has no USB bit, as the
      // last heartbeat packet (hidden, at start-up) had none.
      {"U_00", true, {shown_usb_navi}},
      {"UA00", true, {shown_usb_navi}},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(std::string(row.settings) + (row.in_front ? " in front" : " hidden"));
    TearDown();
    SetUp();
    std::ofstream(CardPath("hbSET.DAT")) << row.settings;
    StartShownPanel();
    // Just after a tick, so that both keys of the in-front case land before the next.
    ASSERT_EQ(platform::VirtualNowMs() % 400, 100);
    if (row.in_front) {
      controller_->QueueKey(0x82);
      controller_->QueueKey(0x82);
    } else {
      controller_->QueueKey(0x3A);
    }
    platform::AdvanceVirtualTime(1500);
    EXPECT_EQ(IsWindowVisible(Panel.MainWindow) != 0, row.in_front);
    EXPECT_EQ(StatusPackets(NewPackets()), row.status) << Describe(NewPackets());
    // Four ticks since the reset: the count goes on past the three that sent.
    EXPECT_EQ(Panel.HeartbeatCount, 4u);
  }
}

// Shown again after the count has passed 3: no in-front heartbeat follows, so the show reply is
// the only packet that tells the controller.
TEST_F(PanelTest, ShowAfterTheCountPassedThreeIsReportedOnlyByItsReply) {
  StartShownPanel();
  controller_->QueueKey(0x3A);
  platform::AdvanceVirtualTime(1500);
  ASSERT_GE(Panel.HeartbeatCount, 3u);
  MarkPackets();
  controller_->QueueKey(0x53);
  platform::AdvanceVirtualTime(3000);
  EXPECT_TRUE(IsWindowVisible(Panel.MainWindow));
  EXPECT_EQ(NewPackets(), std::vector<sim::Packet>{GroupPacket(0x30, 0x03, 0xB8)})
      << Describe(NewPackets());
}

}  // namespace
