// The whole program in virtual time with the simulated controller behind DSK1: the panel comes on
// screen when the controller sends its show key after the start-up packets, and tests touch it
// with the headless display's pen and read what reached the controller. Tests that need the
// panel without a controller use ShellTest and take the packets from the queue themselves.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/command_queue.h"
#include "sim/controller.h"
#include "tests/app/shell_fixture.h"

class PanelTest : public ShellTest {
 protected:
  void SetUp() override;

  // Starts the program and runs until the controller's show key has brought the panel to the
  // front and the start-up heartbeats are over, so that later packets come only from the test.
  void StartShownPanel();
  // Pen down at (x, y), held for hold_ms, then up; then time for the link thread to send what
  // was queued. Positions off the screen go to the main window as the display would post them.
  void Touch(int x, int y, std::int64_t hold_ms = 100);
  void PenDown(int x, int y);
  void PenUp(int x, int y);
  // The controller sends code; time passes until the reply has been written.
  void SendKey(std::uint8_t code);
  // Lets time pass for the link thread to write two queued packets.
  void LetLinkSend();

  // The packets the controller received after the last MarkPackets.
  void MarkPackets();
  std::vector<sim::Packet> NewPackets() const;

  std::shared_ptr<sim::Controller> controller_;
  std::size_t packets_marked_ = 0;
};

// The program without a controller: the window stays hidden and what the panel queues stays in
// the queue, where TakeQueuedPackets finds it.
class PanelWithoutControllerTest : public ShellTest {
 protected:
  // Leaves code in the mailbox and posts the message, as the link thread does.
  void DeliverKey(std::uint8_t code);
};

// A packet as it arrives: 0xA5 0xE3, then the given bytes, all others 0.
sim::Packet WirePacket(std::initializer_list<std::pair<int, std::uint8_t>> bytes);
// A touch key packet of a panel that has handled a controller key (tag 0x30).
sim::Packet KeyPattern(std::uint8_t high, std::uint8_t low);
sim::Packet Release();
// A status or reply packet: group in byte 9, value in byte 10, 0x30 in byte 11.
sim::Packet GroupPacket(std::uint8_t tag, std::uint8_t group, std::uint8_t value);
// One packet a line in hexadecimal, for failure messages.
std::string Describe(const std::vector<sim::Packet>& packets);

// Without a link, the packets queued since the last call, taken out of the queue as the link
// thread would take them. Call only while the program stands still between time steps.
std::vector<sim::Packet> TakeQueuedPackets();

// The packets of which byte 9 is the status group (heartbeats and show replies).
std::vector<sim::Packet> StatusPackets(const std::vector<sim::Packet>& packets);
