// The soak in the suite: a short run from a fixed seed, and the same seed giving the same trace.
// The seeds of faults the soak found stay here as runs of their own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/soak/soak_run.h"

namespace {

// A sanitizer build runs the program several times slower; its runs are cut to stay near a minute.
#ifdef QUELT_SANITIZER_BUILD
constexpr std::int64_t FixedSeedMs = 45'000;
constexpr const char* TracedHours = "0.004";
#else
constexpr std::int64_t FixedSeedMs = 180'000;
constexpr const char* TracedHours = "0.01";
#endif

// The trace of a run of the soak program in a process of its own, as a seed is replayed: handle
// values count up through the life of a process, so two runs in one process differ in them.
std::string TraceOfSoakProgram(int seed, const char* hours) {
  const std::string path = ::testing::TempDir() + "soak-trace-" + std::to_string(seed);
  const std::string command = std::string(QUELT_SOAK_PROGRAM) + " " + std::to_string(seed) + " " +
                              hours + " " + path + " > /dev/null";
  if (std::system(command.c_str()) != 0) return "the soak failed: " + command;
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

SoakReport Soak(std::uint64_t seed, std::int64_t virtual_ms) {
  SoakOptions options;
  options.seed = seed;
  options.virtual_ms = virtual_ms;
  return RunSoak(options);
}

TEST(SoakTest, VirtualMinutesFromAFixedSeedHoldEveryInvariant) {
  const SoakReport report = Soak(1, FixedSeedMs);
  EXPECT_TRUE(report.passed) << report.failure << "\n" << report.summary;
  EXPECT_GT(report.faults_injected, 2u) << report.summary;
}

TEST(SoakTest, SameSeedGivesTheSameTrace) {
  const std::string first = TraceOfSoakProgram(7, TracedHours);
  const std::string second = TraceOfSoakProgram(7, TracedHours);
  ASSERT_GT(first.size(), 10'000u) << first;
  EXPECT_TRUE(first == second) << "the traces of two runs of seed 7 differ";
  EXPECT_NE(first, TraceOfSoakProgram(8, TracedHours));
}

}  // namespace
