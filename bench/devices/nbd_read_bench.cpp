// The stream poll over NBD: one 10-sector read from nbdkit's memory plugin on a Unix socket,
// through DeviceIoControl and the device's deadline-bound asynchronous path, against libnbd's
// blocking nbd_pread on a connection of its own (compare both with BM_Memcpy5120 beside them).
// Then the deadlines as the link thread meets them, 20 runs each in manual time: from SIGSTOP of
// the server to the failed read, and the failed opens of a closed port and of a silent listener.
#include <benchmark/benchmark.h>
#include <libnbd.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "platform/win32.h"
#include "tests/platform_devices/loopback_port.h"
#include "tests/platform_devices/nbd_server.h"
#include "tests/platform_devices/sector_transfer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD StreamSector = 629;
constexpr std::size_t StreamBytes = 5120;

NbdServer& MemoryServer() {
  static NbdServer server("memory", {"size=1M"});
  return server;
}

void BM_NbdStreamReadBlocking(benchmark::State& state) {
  nbd_handle* nbd = nbd_create();
  if (!MemoryServer().running() || nbd_connect_uri(nbd, MemoryServer().list().c_str()) == -1) {
    state.SkipWithError("no nbdkit");
  }
  std::vector<std::uint8_t> buffer(StreamBytes);
  for (auto _ : state) {
    if (nbd_pread(nbd, buffer.data(), StreamBytes, StreamSector * 512ull, 0) == -1) {
      state.SkipWithError("read failed");
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(state.iterations() * StreamBytes);
  nbd_close(nbd);
}
BENCHMARK(BM_NbdStreamReadBlocking);

void BM_NbdStreamReadWithDeadline(benchmark::State& state) {
  HANDLE device = OpenLinkDevice(MemoryServer().list().c_str(), 1);
  if (device == INVALID_HANDLE_VALUE) state.SkipWithError("no nbdkit");
  std::vector<std::uint8_t> buffer(StreamBytes);
  for (auto _ : state) {
    if (!ReadSectors(device, StreamSector, 10, buffer.data()).done) {
      state.SkipWithError("read failed");
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(state.iterations() * StreamBytes);
  CloseHandle(device);
}
BENCHMARK(BM_NbdStreamReadWithDeadline);

void BM_NbdReadAfterServerStops(benchmark::State& state) {
  NbdServer& server = MemoryServer();
  HANDLE device = OpenLinkDevice(server.list().c_str(), 1);
  std::vector<std::uint8_t> buffer(StreamBytes);
  if (device == INVALID_HANDLE_VALUE || !ReadSectors(device, StreamSector, 10, buffer.data()).done)
    state.SkipWithError("no nbdkit");
  for (auto _ : state) {
    const Clock::time_point stopped = Clock::now();
    server.Pause();
    if (ReadSectors(device, StreamSector, 10, buffer.data()).done) {
      state.SkipWithError("read of a stopped server succeeded");
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - stopped).count());
    server.Resume();
  }
  CloseHandle(device);
}
BENCHMARK(BM_NbdReadAfterServerStops)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(20)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

template <LoopbackPort::Kind kind>
void BM_NbdFailedOpen(benchmark::State& state) {
  LoopbackPort port(kind);
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    if (OpenLinkDevice(port.uri().c_str(), 1) != INVALID_HANDLE_VALUE) {
      state.SkipWithError("open of a broken server succeeded");
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
}
BENCHMARK_TEMPLATE(BM_NbdFailedOpen, LoopbackPort::Kind::Refusing)
    ->Name("BM_NbdOpenClosedPort")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(20)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_NbdFailedOpen, LoopbackPort::Kind::Silent)
    ->Name("BM_NbdOpenSilentListener")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(20)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace
