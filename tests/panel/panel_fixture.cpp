#include "tests/panel/panel_fixture.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>

#include "app/panel_state.h"
#include "platform/testing_display.h"
#include "sim/in_process.h"

using platform::testing::InjectPen;
using platform::testing::kScreenHeight;
using platform::testing::kScreenWidth;
using platform::testing::Pen;

namespace {

bool OnScreen(int x, int y) { return x >= 0 && x < kScreenWidth && y >= 0 && y < kScreenHeight; }

}  // namespace

void PanelTest::SetUp() {
  ShellTest::SetUp();
  setenv("QUELT_LINK_DEVICES", "sim", 1);
  controller_ = sim::StartInProcessController();
  ASSERT_NE(controller_, nullptr);
}

void PanelTest::StartShownPanel() {
  PlaceCompactBackground();
  StartProgram();
  // Ten heartbeats: the count has stopped.
  platform::AdvanceVirtualTime(4100);
  ASSERT_TRUE(IsWindowVisible(Panel.MainWindow));
  ASSERT_EQ(GetForegroundWindow(), Panel.MainWindow);
  ASSERT_EQ(Panel.HeartbeatCount, 10u);
  MarkPackets();
}

void PanelTest::PenDown(int x, int y) {
  if (OnScreen(x, y)) {
    ASSERT_TRUE(InjectPen(Pen::Down, x, y)) << x << "," << y;
  } else {
    PostMessageW(Panel.MainWindow, WM_LBUTTONDOWN, 0, MAKELPARAM(x, y));
  }
}

void PanelTest::PenUp(int x, int y) {
  if (OnScreen(x, y)) {
    ASSERT_TRUE(InjectPen(Pen::Up, x, y)) << x << "," << y;
  } else {
    PostMessageW(Panel.MainWindow, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
}

void PanelTest::Touch(int x, int y, std::int64_t hold_ms) {
  PenDown(x, y);
  platform::AdvanceVirtualTime(hold_ms);
  PenUp(x, y);
  LetLinkSend();
}

void PanelTest::SendKey(std::uint8_t code) {
  controller_->QueueKey(code);
  LetLinkSend();
}

// Two ticks of the slower status poll (200 ms each) write two packets.
void PanelTest::LetLinkSend() { platform::AdvanceVirtualTime(450); }

void PanelTest::MarkPackets() { packets_marked_ = controller_->Packets().size(); }

std::vector<sim::Packet> PanelTest::NewPackets() const {
  std::vector<sim::Packet> packets;
  const std::vector<sim::ReceivedPacket> received = controller_->Packets();
  for (std::size_t i = packets_marked_; i < received.size(); ++i) {
    packets.push_back(received[i].bytes);
  }
  return packets;
}

void PanelWithoutControllerTest::DeliverKey(std::uint8_t code) {
  Panel.ControllerKey = code;
  PostMessageW(Panel.MainWindow, WM_CONTROLLER_KEY, 0, 0);
  platform::AdvanceVirtualTime(10);
}

sim::Packet WirePacket(std::initializer_list<std::pair<int, std::uint8_t>> bytes) {
  sim::Packet packet = {0xA5, 0xE3};
  for (auto [index, value] : bytes) packet[index] = value;
  return packet;
}

sim::Packet KeyPattern(std::uint8_t high, std::uint8_t low) {
  return WirePacket({{2, 0x30}, {6, high}, {7, low}});
}

sim::Packet Release() { return WirePacket({}); }

sim::Packet GroupPacket(std::uint8_t tag, std::uint8_t group, std::uint8_t value) {
  return WirePacket({{2, tag}, {9, group}, {10, value}, {11, 0x30}});
}

std::string Describe(const std::vector<sim::Packet>& packets) {
  std::ostringstream text;
  text << std::hex;
  for (const sim::Packet& packet : packets) {
    for (std::uint8_t byte : packet) text << ' ' << int{byte};
    text << '\n';
  }
  return text.str();
}

std::vector<sim::Packet> TakeQueuedPackets() {
  CommandQueueRecord& queue = Panel.CommandQueue;
  std::lock_guard<std::mutex> hold(queue.lock);
  std::vector<sim::Packet> packets;
  for (int slot = 0; slot < queue.count; ++slot) {
    sim::Packet packet = {};
    std::memcpy(packet.data(), queue.slots[slot], CommandProducedBytes);
    packets.push_back(packet);
  }
  queue.count = 0;
  return packets;
}

std::vector<sim::Packet> StatusPackets(const std::vector<sim::Packet>& packets) {
  std::vector<sim::Packet> status;
  for (const sim::Packet& packet : packets) {
    if (packet[9] == 0x03) status.push_back(packet);
  }
  return status;
}
