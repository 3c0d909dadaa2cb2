// The simulated controller keeps the platform's time: under a virtual-time run its scripted keys,
// faults, disappearance and the clock on its LCD follow the virtual clock exactly.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/testing.h"
#include "sim/controller.h"
#include "tests/sim/sim_test_support.h"

namespace {

std::uint8_t KeyInNextRead(sim::Controller* controller, std::uint64_t session) {
  std::uint8_t sector[512] = {};
  std::uint32_t moved = 0;
  return controller->Read(session, sim::ExchangeSector, 1, sector, &moved) ? sector[506] : 0xFF;
}

TEST(SimulatedControllerInVirtualTime, ScriptFollowsTheClock) {
  platform::VirtualRunScope run(platform::LocalTime(2024, 3, 1, 8, 5, 0));
  auto controller = MakeController("keys=0x82@3000;0x83@3000,fail_reads=1@4000,vanish=2000@5000>3");
  const std::uint64_t session = controller->Open(1);
  ASSERT_NE(session, 0u);

  platform::AdvanceVirtualTime(2999);
  EXPECT_EQ(KeyInNextRead(controller.get(), session), 0);
  platform::AdvanceVirtualTime(1);
  EXPECT_EQ(KeyInNextRead(controller.get(), session), 0x82);
  EXPECT_EQ(KeyInNextRead(controller.get(), session), 0x83);

  platform::AdvanceVirtualTime(1000);  // 4000: one read fails
  EXPECT_EQ(KeyInNextRead(controller.get(), session), 0xFF);
  EXPECT_EQ(KeyInNextRead(controller.get(), session), 0);

  platform::AdvanceVirtualTime(1000);  // 5000: gone for two seconds
  EXPECT_EQ(KeyInNextRead(controller.get(), session), 0xFF);
  platform::AdvanceVirtualTime(1999);
  EXPECT_EQ(controller->Open(3), 0u);
  platform::AdvanceVirtualTime(1);
  EXPECT_EQ(controller->Open(1), 0u);
  const std::uint64_t back = controller->Open(3);
  EXPECT_NE(back, 0u);
  EXPECT_EQ(KeyInNextRead(controller.get(), back), 0);
}

TEST(SimulatedControllerInVirtualTime, LcdClockShowsLocalTime) {
  platform::VirtualRunScope run(platform::LocalTime(2024, 3, 1, 8, 5, 0));
  auto controller = MakeController("");
  const sim::LcdImage at_0805 = controller->Screen();
  platform::AdvanceVirtualTime(60000);
  const sim::LcdImage at_0806 = controller->Screen();
  EXPECT_NE(std::memcmp(at_0805.pages, at_0806.pages, sizeof at_0805.pages), 0);

  // Only the clock changed: it is the right of the header line.
  sim::LcdImage a = at_0805, b = at_0806;
  for (sim::LcdImage* image : {&a, &b}) {
    BlankClock(image);
  }
  EXPECT_EQ(std::memcmp(a.pages, b.pages, sizeof a.pages), 0);
  platform::SetVirtualLocalTime(platform::LocalTime(2024, 3, 1, 8, 5, 0));
  const sim::LcdImage again = controller->Screen();
  EXPECT_EQ(std::memcmp(again.pages, at_0805.pages, sizeof again.pages), 0);
}

}  // namespace
