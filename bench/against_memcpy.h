// Every hot path is reported beside a memcpy of the bytes it must write, measured in the same
// run: the two take turns, each timed on its own, so that both see the same caches and the same
// neighbours on a shared machine. The counters a benchmark reports:
//   ratio      median time of the path / median time of the memcpy
//   path_us    median time of one run of the path
//   memcpy_us  median time of the memcpy
//   bytes      the bytes the memcpy moves
// scripts/bench turns them into its table.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

namespace bench {

inline double Median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  const auto middle = samples.begin() + samples.size() / 2;
  std::nth_element(samples.begin(), middle, samples.end());
  return *middle;
}

// Runs path() and a memcpy of `bytes` in turns, `batch` times each per sample (for paths too
// short to time one by one); prepare() runs untimed before each sample.
template <typename Prepare, typename Path>
void AgainstMemcpyAfter(benchmark::State& state, std::size_t bytes, Prepare&& prepare, Path&& path,
                        int batch = 1) {
  using Clock = std::chrono::steady_clock;
  std::vector<std::uint8_t> from(bytes, 0x5A), to(bytes);
  std::vector<double> path_ns, copy_ns;
  for (auto _ : state) {
    prepare();
    const auto start = Clock::now();
    for (int i = 0; i < batch; ++i) path();
    benchmark::ClobberMemory();
    const auto middle = Clock::now();
    for (int i = 0; i < batch; ++i) {
      std::memcpy(to.data(), from.data(), bytes);
      benchmark::DoNotOptimize(to.data());
      benchmark::ClobberMemory();
    }
    const auto end = Clock::now();
    path_ns.push_back(std::chrono::duration<double, std::nano>(middle - start).count() / batch);
    copy_ns.push_back(std::chrono::duration<double, std::nano>(end - middle).count() / batch);
  }
  const double path_median = Median(path_ns);
  const double copy_median = Median(copy_ns);
  state.counters["ratio"] = copy_median > 0 ? path_median / copy_median : 0;
  state.counters["path_us"] = path_median / 1000;
  state.counters["memcpy_us"] = copy_median / 1000;
  state.counters["bytes"] = static_cast<double>(bytes);
}

template <typename Path>
void AgainstMemcpy(benchmark::State& state, std::size_t bytes, Path&& path, int batch = 1) {
  AgainstMemcpyAfter(
      state, bytes, [] {}, path, batch);
}

}  // namespace bench
