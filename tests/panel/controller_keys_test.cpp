// The controller's key codes: the replies on the wire, the window they show and hide, the stream
// they switch; and, without a controller, the mailbox cases the link thread never produces.
#include <gtest/gtest.h>

#include <vector>

#include "app/panel_state.h"
#include "tests/panel/panel_fixture.h"

namespace {

constexpr std::uint8_t ToggleWindowKey = 0x82;
constexpr std::uint8_t ToggleViewKey = 0x83;
constexpr std::uint8_t StopKey = 0x3A;
constexpr std::uint8_t NavigationKey = 0x56;

sim::Packet KeyReply(std::uint8_t value) { return GroupPacket(0x30, 0x02, value); }
sim::Packet VolumeReply(std::uint8_t code, std::uint8_t step) {
  return WirePacket({{2, 0x30}, {3, code}, {5, step}});
}

// The packets that answer a key (tag 0x30), without the heartbeats between them.
std::vector<sim::Packet> Replies(const std::vector<sim::Packet>& packets) {
  std::vector<sim::Packet> replies;
  for (const sim::Packet& packet : packets) {
    if (packet[2] == 0x30) replies.push_back(packet);
  }
  return replies;
}

// Byte 5 is 1 only for the same code twice in a row; any other code in between, even one that
// is not answered, counts.
TEST_F(PanelTest, VolumeKeyStepFollowsThePreviousCode) {
  StartShownPanel();
  for (std::uint8_t code : {0x52, 0x52, 0x51, 0x52, 0x99, 0x52, 0x51, 0x51}) SendKey(code);
  EXPECT_EQ(NewPackets(), (std::vector<sim::Packet>{VolumeReply(0x11, 2), VolumeReply(0x11, 1),
                                                    VolumeReply(0x88, 2), VolumeReply(0x11, 2),
                                                    VolumeReply(0x11, 2), VolumeReply(0x88, 2),
                                                    VolumeReply(0x88, 1)}))
      << Describe(NewPackets());
  EXPECT_EQ(Panel.PreviousControllerKey, 0x51);
}

// Until 0x56 has seen the navigation program in front, the group replies carry their
// "otherwise" values; afterwards 0x34 and 0x35 change.
TEST_F(PanelTest, GroupRepliesFollowTheLastNavigationReport) {
  struct Case {
    std::uint8_t code;
    std::uint8_t navigation_behind, navigation_in_front;
  };
  const std::vector<Case> cases = {
      {0x34, 0x28, 0x08}, {0x35, 0x48, 0xC8}, {0x37, 0xA8, 0xA8}, {0x81, 0x00, 0x00}};
  StartShownPanel();
  std::vector<sim::Packet> expected;
  for (const Case& key : cases) {
    SendKey(key.code);
    expected.push_back(KeyReply(key.navigation_behind));
  }
  EXPECT_EQ(NewPackets(), expected) << Describe(NewPackets());

  // Hidden, nothing is in the foreground and no "Atlan" window exists: both are null, which
  // reads as the navigation program in front.
  SendKey(StopKey);
  platform::AdvanceVirtualTime(1500);
  ASSERT_EQ(GetForegroundWindow(), nullptr);
  MarkPackets();
  SendKey(NavigationKey);
  EXPECT_EQ(Panel.NavigationInFront, 1);
  expected = {KeyReply(0xB8)};
  for (const Case& key : cases) {
    SendKey(key.code);
    expected.push_back(KeyReply(key.navigation_in_front));
  }
  EXPECT_EQ(NewPackets(), expected) << Describe(NewPackets());
}

TEST_F(PanelTest, NavigationKeyInFrontRepliesThenHides) {
  StartShownPanel();
  SendKey(NavigationKey);
  platform::AdvanceVirtualTime(1500);
  // The reply goes out first; the hidden panel's heartbeats follow.
  const sim::Packet hidden = GroupPacket(0x00, 0x03, 0xBD);
  EXPECT_EQ(NewPackets(), (std::vector<sim::Packet>{KeyReply(0x88), hidden, hidden, hidden}))
      << Describe(NewPackets());
  EXPECT_FALSE(IsWindowVisible(Panel.MainWindow));
  EXPECT_EQ(Panel.NavigationInFront, 0);
  EXPECT_EQ(Panel.StreamMode.load(), 0);
}

TEST_F(PanelTest, NavigationKeySeesTheNavigationProgramInFront) {
  StartShownPanel();
  RunOnMainThread([] {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.lpszClassName = W("Navigation");
    RegisterClassW(&window_class);
    HWND atlan = CreateWindowExW(0, W("Navigation"), W("Atlan"), WS_POPUP, 0, 0, 800, 480, nullptr,
                                 nullptr, nullptr, nullptr);
    ShowWindow(atlan, SW_SHOW);
    SetForegroundWindow(atlan);
  });
  // A heartbeat looks the window up.
  platform::AdvanceVirtualTime(450);
  ASSERT_NE(Panel.NavigationWindow, nullptr);
  MarkPackets();
  SendKey(NavigationKey);
  EXPECT_EQ(NewPackets(), std::vector<sim::Packet>{KeyReply(0xB8)}) << Describe(NewPackets());
  EXPECT_EQ(Panel.NavigationInFront, 1);
  // The panel was not in front: it stays where it was, only the stream stops.
  EXPECT_TRUE(IsWindowVisible(Panel.MainWindow));
  EXPECT_EQ(Panel.StreamMode.load(), 0);
}

TEST_F(PanelTest, ToggleWindowKeyHidesThenShowsWithAReply) {
  StartShownPanel();
  SendKey(ToggleWindowKey);
  EXPECT_FALSE(IsWindowVisible(Panel.MainWindow));
  EXPECT_EQ(Panel.StreamMode.load(), 0);
  EXPECT_TRUE(Replies(NewPackets()).empty()) << Describe(NewPackets());

  SendKey(ToggleWindowKey);
  EXPECT_TRUE(IsWindowVisible(Panel.MainWindow));
  EXPECT_EQ(GetForegroundWindow(), Panel.MainWindow);
  EXPECT_EQ(Panel.StreamMode.load(), 1);
  // The last heartbeat packet reported USB AUDIO, and so does the show reply.
  EXPECT_EQ(Replies(NewPackets()), std::vector<sim::Packet>{GroupPacket(0x30, 0x03, 0xB8)})
      << Describe(NewPackets());
}

TEST_F(PanelTest, StopKeyInFrontHidesWithoutReply) {
  StartShownPanel();
  SendKey(StopKey);
  EXPECT_FALSE(IsWindowVisible(Panel.MainWindow));
  EXPECT_EQ(Panel.StreamMode.load(), 0);
  EXPECT_EQ(Panel.HeartbeatCount, 1u);
  EXPECT_TRUE(Replies(NewPackets()).empty()) << Describe(NewPackets());
}

TEST_F(PanelTest, ToggleViewKeyActsOnlyInFront) {
  StartShownPanel();
  SendKey(ToggleViewKey);
  EXPECT_EQ(Panel.PanelMode, 0);
  SendKey(ToggleViewKey);
  EXPECT_EQ(Panel.PanelMode, 1);
  EXPECT_TRUE(NewPackets().empty()) << Describe(NewPackets());

  SendKey(StopKey);
  platform::AdvanceVirtualTime(1500);
  MarkPackets();
  const std::size_t paints = TraceStartingWith("QUELT_VER120 WM_PAINT").size();
  SendKey(ToggleViewKey);
  EXPECT_EQ(Panel.PanelMode, 1);
  EXPECT_EQ(Panel.PreviousControllerKey, ToggleViewKey);
  EXPECT_EQ(TraceStartingWith("QUELT_VER120 WM_PAINT").size(), paints);
  EXPECT_TRUE(NewPackets().empty()) << Describe(NewPackets());
}

// The mailbox cases, which the link thread never produces, with no controller.
TEST_F(PanelWithoutControllerTest, CodeZeroChangesNothing) {
  StartProgram();
  platform::AdvanceVirtualTime(100);
  DeliverKey(0);
  EXPECT_EQ(Panel.TouchPacketTag, 0);
  EXPECT_EQ(Panel.PreviousControllerKey, 0);
  EXPECT_TRUE(TakeQueuedPackets().empty());
}

TEST_F(PanelWithoutControllerTest, UnknownCodeSetsOnlyTagAndPreviousKey) {
  StartProgram();
  platform::AdvanceVirtualTime(100);
  DeliverKey(0x99);
  EXPECT_EQ(Panel.TouchPacketTag, 0x30);
  EXPECT_EQ(Panel.PreviousControllerKey, 0x99);
  EXPECT_EQ(Panel.ControllerKey.load(), 0);
  EXPECT_TRUE(TakeQueuedPackets().empty());
  EXPECT_FALSE(IsWindowVisible(Panel.MainWindow));
  EXPECT_EQ(Panel.StreamMode.load(), 1);
}

// Two codes before the first message is handled: the newer one wins and the second message
// finds the mailbox empty.
TEST_F(PanelWithoutControllerTest, NewerCodeReplacesOneNotYetHandled) {
  StartProgram();
  platform::AdvanceVirtualTime(100);
  Panel.ControllerKey = 0x37;
  PostMessageW(Panel.MainWindow, WM_CONTROLLER_KEY, 0, 0);
  Panel.ControllerKey = 0x81;
  PostMessageW(Panel.MainWindow, WM_CONTROLLER_KEY, 0, 0);
  platform::AdvanceVirtualTime(10);
  EXPECT_EQ(TakeQueuedPackets(), std::vector<sim::Packet>{KeyReply(0x00)});
  EXPECT_EQ(Panel.PreviousControllerKey, 0x81);
}

}  // namespace
