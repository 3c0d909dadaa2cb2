// A link thread reads and writes while a test thread queues keys and injects faults: every key
// arrives exactly once, and the controller's record holds every packet that was accepted.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "sim/controller.h"

namespace {

TEST(SimulatedControllerThreads, KeysQueuedDuringPollingArriveOnce) {
  sim::Controller controller{sim::ControllerOptions{}};
  const std::uint64_t session = controller.Open(1);
  constexpr int Keys = 200;
  int received = 0;
  int packets_accepted = 0;

  std::thread link([&] {
    std::vector<std::uint8_t> data(5120);
    std::uint8_t command[512] = {};
    const sim::Packet release = sim::ReleasePacket();
    std::memcpy(command, release.data(), release.size());
    // Bounded, so that a lost key fails the test instead of hanging it.
    for (int poll = 0; poll < 1000000 && received < Keys; ++poll) {
      std::uint32_t moved = 0;
      if (controller.Read(session, sim::ExchangeSector, 10, data.data(), &moved) && moved == 5120) {
        for (int sector = 0; sector < 10; ++sector) received += data[sector * 512 + 506] != 0;
      }
      if (controller.Write(session, sim::ExchangeSector, 1, command, &moved)) ++packets_accepted;
    }
  });
  for (int i = 0; i < Keys; ++i) {
    controller.QueueKey(0x52);
    if (i % 50 == 0) controller.ShortNextReads(1);
    if (i % 70 == 0) controller.FailNextWrites(1);
  }
  link.join();
  EXPECT_EQ(received, Keys);
  EXPECT_EQ(controller.Packets().size(), static_cast<std::size_t>(packets_accepted));
}

}  // namespace
