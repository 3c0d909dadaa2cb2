// ReconnectLink in virtual time: its pauses, and the bound on failed probes over the life of the
// link thread.
#include <gtest/gtest.h>

#include "app/panel_state.h"
#include "link/link_discovery.h"
#include "link/sector_transfer.h"
#include "tests/link/link_fixture.h"

namespace {

// Runs ReconnectLink on the program's main thread and returns how long it took.
std::int64_t TimeReconnect() {
  std::int64_t returned_at = -1;
  EXPECT_TRUE(platform::StartMainThread([&returned_at] {
    ReconnectLink();
    returned_at = platform::VirtualNowMs();
    return 0;
  }));
  EXPECT_TRUE(platform::RunUntilMainReturns(60'000, nullptr));
  return returned_at;
}

using ReconnectTest = LinkScenarioTest;

TEST_F(ReconnectTest, TakesTwoPausesEvenWhenTheDeviceAnswersAtOnce) {
  Panel.FailedProbeCount = 3;
  EXPECT_EQ(TimeReconnect(), 400);
  EXPECT_EQ(Panel.LinkConnected, 1);
  EXPECT_TRUE(LinkDeviceOpen());
  EXPECT_EQ(Panel.FailedProbeCount, 3u);
}

struct BoundCase {
  std::uint32_t failed_before;
  std::uint32_t probes;
};

void PrintTo(const BoundCase& bound, std::ostream* out) {
  *out << bound.failed_before << " failed before";
}

class ReconnectBoundTest : public LinkScenarioTest,
                           public ::testing::WithParamInterface<BoundCase> {};

TEST_P(ReconnectBoundTest, GivesUpOnceMoreThanThirtyProbesFailedInAll) {
  UseDevices("");
  Panel.FailedProbeCount = GetParam().failed_before;
  // A pause, then each probe with its pause.
  EXPECT_EQ(TimeReconnect(), 200 + 200 * GetParam().probes);
  EXPECT_EQ(Panel.FailedProbeCount, GetParam().failed_before + GetParam().probes);
  EXPECT_EQ(Panel.LinkConnected, 0);
  EXPECT_EQ(Panel.LinkHandle, INVALID_HANDLE_VALUE);
}

INSTANTIATE_TEST_SUITE_P(FailedProbes, ReconnectBoundTest,
                         ::testing::Values(BoundCase{0, 31}, BoundCase{29, 2}, BoundCase{30, 1},
                                           BoundCase{500, 1}));

}  // namespace
