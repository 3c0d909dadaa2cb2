// The panel's stream poll: one 10-sector read (5120 bytes) through DeviceIoControl, from the
// in-process simulator (which draws and streams its LCD) and from an image file with O_DIRECT,
// beside a memcpy of the same 5120 bytes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "sim/in_process.h"
#include "sim/register.h"

namespace {

constexpr DWORD StreamBytes = 5120;

HANDLE Open(const std::string& list) {
  setenv("QUELT_LINK_DEVICES", list.c_str(), 1);
  return CreateFileW(u"DSK1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

void StreamReads(benchmark::State& state, HANDLE device) {
  std::vector<std::uint8_t> buffer(StreamBytes);
  SG_REQ request{};
  for (auto _ : state) {
    request.sr_start = 629;
    request.sr_num_sec = 10;
    request.sr_num_sg = 1;
    request.sr_sglist[0].sb_buf = buffer.data();
    request.sr_sglist[0].sb_len = StreamBytes;
    DWORD bytes = 0;
    if (!DeviceIoControl(device, DISK_IOCTL_READ, &request, sizeof request, nullptr, 0, &bytes,
                         nullptr)) {
      state.SkipWithError("read failed");
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(state.iterations() * StreamBytes);
}

void BM_Memcpy5120(benchmark::State& state) {
  std::vector<std::uint8_t> from(StreamBytes, 1), to(StreamBytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), StreamBytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * StreamBytes);
}
BENCHMARK(BM_Memcpy5120);

void BM_StreamReadSimulator(benchmark::State& state) {
  RegisterSimulatorDevices();
  sim::StopInProcessController();
  HANDLE device = Open("sim");
  StreamReads(state, device);
  CloseHandle(device);
}
BENCHMARK(BM_StreamReadSimulator);

void BM_StreamReadImageFile(benchmark::State& state) {
  char path[] = "/tmp/quelt-bench-XXXXXX";
  const int fd = mkstemp(path);
  if (fd == -1 || ftruncate(fd, 1024 * 512) != 0) state.SkipWithError("no scratch image");
  close(fd);
  HANDLE device = Open(path);
  StreamReads(state, device);
  CloseHandle(device);
  unlink(path);
}
BENCHMARK(BM_StreamReadImageFile);

}  // namespace

BENCHMARK_MAIN();
