// The soak in the suite: a short run from a fixed seed, and the same seed giving the same trace.
// The seeds of faults the soak found stay here as runs of their own.
#include <gtest/gtest.h>

#include "tests/soak/soak_run.h"

namespace {

SoakReport Soak(std::uint64_t seed, std::int64_t virtual_ms, bool record_trace = false) {
  SoakOptions options;
  options.seed = seed;
  options.virtual_ms = virtual_ms;
  options.record_trace = record_trace;
  return RunSoak(options);
}

TEST(SoakTest, ThreeVirtualMinutesFromAFixedSeedHoldEveryInvariant) {
  const SoakReport report = Soak(1, 180'000);
  EXPECT_TRUE(report.passed) << report.failure << "\n" << report.summary;
  EXPECT_GT(report.faults_injected, 5u) << report.summary;
}

TEST(SoakTest, SameSeedGivesTheSameTrace) {
  const SoakReport first = Soak(7, 40'000, true);
  const SoakReport second = Soak(7, 40'000, true);
  ASSERT_TRUE(first.passed) << first.failure;
  ASSERT_TRUE(second.passed) << second.failure;
  ASSERT_FALSE(first.trace.empty());
  EXPECT_EQ(first.trace, second.trace);
  EXPECT_NE(first.trace, Soak(8, 40'000, true).trace);
}

}  // namespace
