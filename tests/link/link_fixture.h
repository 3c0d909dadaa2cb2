// The link thread in virtual time against the in-process simulated controller. A stand-in for the
// main window receives what the link thread posts: it takes each key from the mailbox as the real
// handler does and notes it in the trace, so a test sees keys, refreshes and poll ticks with
// their virtual times.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/command_queue.h"
#include "platform/testing.h"
#include "sim/in_process.h"

struct HandledKey {
  std::int64_t ms;
  std::uint8_t code;
};

class LinkScenarioTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The devices behind DSK1 to DSK5 and the simulator's options; call before StartLinkThread.
  void UseDevices(const std::string& list, const std::string& simulator_options = "");
  // Starts the main thread, which creates the stand-in window, runs prepare, sets StreamMode to 1
  // and starts the link thread; nothing runs until time is advanced.
  void StartLinkThread(std::function<void()> prepare = nullptr);
  // Lets time pass until the given virtual time.
  void RunUntil(std::int64_t ms);

  sim::Controller& Simulator() { return *simulator_; }
  // Packets the simulator received, with their arrival times.
  std::vector<sim::ReceivedPacket> Packets() const { return simulator_->Packets(); }

  // Virtual times of the link thread's poll ticks, of the refreshes the stand-in received, and
  // the keys it handled.
  std::vector<std::int64_t> TickTimes() const;
  std::vector<std::int64_t> RefreshTimes() const;
  std::vector<HandledKey> HandledKeys() const;
  // Every WM_CONTROLLER_KEY the stand-in received, whether or not the mailbox held a key.
  std::vector<std::int64_t> KeyMessageTimes() const;
  std::string Trace() const { return platform::FormatTrace(platform::VirtualTrace()); }

 private:
  std::unique_ptr<platform::VirtualRunScope> run_;
  std::shared_ptr<sim::Controller> simulator_;
};

// A packet as the producers build it, distinguished by its command value (byte 10).
CommandPacket NumberedPacket(std::uint8_t number);
// The 15 bytes that packet puts on the wire.
sim::Packet OnTheWire(const CommandPacket& packet);

// The first time of a sorted list at or after ms, or -1.
std::int64_t FirstAtOrAfter(const std::vector<std::int64_t>& times, std::int64_t ms);
