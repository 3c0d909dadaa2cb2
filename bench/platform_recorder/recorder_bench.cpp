// The flight recorder's cost at 20 frames a second, and what ten minutes of it hold.
//
// A tick is what crosses the link in one 50 ms poll: the poll timer dispatched, a 10-sector
// stream read (5120 bytes), the refresh message it posts dispatched on the main window and,
// every eighth tick, the heartbeat timer dispatched and its command packet. The reads carry what
// the simulated controller streams with its LCD text line scrolling (INFO pressed), captured
// beforehand in virtual time, and a device in memory serves them, so the timed path is
// DeviceIoControl and the recorder alone. The same ticks are timed with the recorder on and off,
// each beside a memcpy of the 5120 bytes (bench/against_memcpy.h); the difference is the recorder's
// share.
//
// Ten minutes: 12,000 ticks from the simulator in virtual time through the recorder, then its
// memory (taken at start and never grown), the compressed records kept, the process's resident
// memory growth and the size of the file it writes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/against_memcpy.h"
#include "platform/block_device.h"
#include "platform/flight_recorder.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "sim/command_packet.h"
#include "sim/in_process.h"
#include "sim/register.h"
#include "tests/platform_devices/sector_transfer.h"

namespace {

constexpr DWORD StreamBytes = 5120;
constexpr int TicksPerSecond = 20;
constexpr int CapturedTicks = 60 * TicksPerSecond;
constexpr int HeartbeatEvery = 8;

std::vector<std::uint8_t> PacketSector(const sim::Packet& packet) {
  std::vector<std::uint8_t> sector(512);
  std::memcpy(sector.data(), packet.data(), packet.size());
  return sector;
}

// The panel's windows whose timers a tick dispatches (the recorder keeps their class names).
struct TimerWindows {
  HWND link;
  HWND main;
};

HWND TimerWindow(LPCWSTR class_name) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.lpszClassName = class_name;
  RegisterClassW(&window_class);
  return CreateWindowExW(0, class_name, class_name, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                         nullptr);
}

// Made outside any virtual run, so that they outlive the runs.
const TimerWindows& Windows() {
  static const TimerWindows windows{TimerWindow(W("DiskRead")), TimerWindow(W("QUELT_VER120"))};
  return windows;
}

void Dispatch(HWND window, UINT message, WPARAM wparam) {
  const MSG posted{window, message, wparam, 0, 0, POINT{0, 0}};
  DispatchMessageW(&posted);
}

// The panel's refresh, which the link thread posts to the main window after a poll.
constexpr UINT RefreshMessage = 0x0503;

// The timers, transfers and message of one tick: the poll, and every eighth tick the heartbeat
// first.
void TickTransfers(HANDLE device, int tick, std::uint8_t* read_buffer,
                   std::vector<std::uint8_t>& heartbeat) {
  if (tick % HeartbeatEvery == 0) Dispatch(Windows().main, WM_TIMER, 1);
  Dispatch(Windows().link, WM_TIMER, 20);
  if (tick % HeartbeatEvery == 0) WriteSectors(device, 629, 1, heartbeat.data());
  ReadSectors(device, 629, 10, read_buffer);
  Dispatch(Windows().main, RefreshMessage, 0);
}

// One tick against the simulator in virtual time.
void SimulatorTick(HANDLE device, int tick, std::uint8_t* read_buffer,
                   std::vector<std::uint8_t>& heartbeat) {
  TickTransfers(device, tick, read_buffer, heartbeat);
  platform::AdvanceVirtualTime(1000 / TicksPerSecond);
}

// Starts the simulator with its text line scrolling; the caller's virtual run is active.
HANDLE StartScrollingSimulator() {
  RegisterSimulatorDevices();
  sim::StopInProcessController();
  HANDLE device = OpenLinkDevice("sim", 1);
  std::vector<std::uint8_t> info = PacketSector(sim::TouchKeyPacket(sim::PanelKey::Info));
  WriteSectors(device, 629, 1, info.data());
  return device;
}

// The reads of one minute of the scrolling LCD, captured once.
const std::vector<std::uint8_t>& CapturedStream() {
  static const std::vector<std::uint8_t> stream = [] {
    std::vector<std::uint8_t> bytes(std::size_t{CapturedTicks} * StreamBytes);
    Windows();
    platform::VirtualRunScope run(platform::LocalTime(2026, 12, 9, 10, 0, 0));
    HANDLE device = StartScrollingSimulator();
    std::vector<std::uint8_t> heartbeat = PacketSector(sim::VolumePacket(true));
    for (int tick = 0; tick < CapturedTicks; ++tick) {
      SimulatorTick(device, tick, bytes.data() + static_cast<std::size_t>(tick) * StreamBytes,
                    heartbeat);
    }
    CloseHandle(device);
    return bytes;
  }();
  return stream;
}

// A device in memory that answers stream reads with the captured ticks, one after another.
struct Replayed {
  std::size_t next_tick = 0;
};
Replayed replayed;

void RegisterCapturedDevice() {
  platform::BlockDeviceBackend backend{};
  backend.open = [](const char*, int) -> void* { return &replayed; };
  backend.sector_count = [](void*) -> std::uint64_t { return 2048; };
  backend.read = [](void*, std::uint64_t, std::uint32_t sectors, std::uint8_t* data,
                    std::uint32_t* moved) {
    const std::vector<std::uint8_t>& stream = CapturedStream();
    std::memcpy(data, stream.data() + replayed.next_tick * StreamBytes, sectors * 512);
    replayed.next_tick = (replayed.next_tick + 1) % CapturedTicks;
    *moved = sectors * 512;
    return true;
  };
  backend.write = [](void*, std::uint64_t, std::uint32_t sectors, const std::uint8_t*,
                     std::uint32_t* moved) {
    *moved = sectors * 512;
    return true;
  };
  backend.close = [](void*) {};
  platform::RegisterBlockDeviceBackend("captured", backend);
}

void TimeTicks(benchmark::State& state, bool recording) {
  CapturedStream();
  RegisterCapturedDevice();
  const std::string folder = std::filesystem::temp_directory_path() / "quelt-recorder-bench";
  platform::FlightRecorderSettings settings;
  settings.folder = folder;
  if (recording) {
    platform::StartFlightRecorderWith(settings);
  } else {
    platform::StopFlightRecorder();
  }
  HANDLE device = OpenLinkDevice("captured", 1);
  std::vector<std::uint8_t> buffer(StreamBytes);
  std::vector<std::uint8_t> heartbeat = PacketSector(sim::VolumePacket(true));
  int tick = 0;
  // 200 ticks a sample: the blocks compressed along the way (one each 20 to 30 ticks) are in it.
  bench::AgainstMemcpy(
      state, StreamBytes,
      [&] {
        TickTransfers(device, ++tick, buffer.data(), heartbeat);
        benchmark::DoNotOptimize(buffer.data());
      },
      200);
  CloseHandle(device);
  platform::StopFlightRecorder();
}

void BM_TickWithRecorder(benchmark::State& state) { TimeTicks(state, true); }
BENCHMARK(BM_TickWithRecorder);

void BM_TickWithoutRecorder(benchmark::State& state) { TimeTicks(state, false); }
BENCHMARK(BM_TickWithoutRecorder);

long ResidentKib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

void BM_RecorderTenMinutes(benchmark::State& state) {
  const std::string folder = std::filesystem::temp_directory_path() / "quelt-recorder-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  Windows();
  for (auto _ : state) {
    platform::VirtualRunScope run(platform::LocalTime(2026, 12, 9, 10, 0, 0));
    HANDLE device = StartScrollingSimulator();
    std::vector<std::uint8_t> buffer(StreamBytes);
    std::vector<std::uint8_t> heartbeat = PacketSector(sim::VolumePacket(true));
    platform::SetTraceRecording(false);
    const long resident_before = ResidentKib();
    platform::FlightRecorderSettings settings;
    settings.folder = folder;
    platform::StartFlightRecorderWith(settings);
    const long resident_started = ResidentKib();
    SYSTEMTIME now;
    for (int tick = 0; tick < 10 * 60 * TicksPerSecond; ++tick) {
      if (tick % TicksPerSecond == 0) GetLocalTime(&now);  // the clock line, once a second
      SimulatorTick(device, tick, buffer.data(), heartbeat);
    }
    const long resident_after = ResidentKib();
    const std::string path = platform::SaveFlightRecording("request");
    state.counters["recorder_kib"] = platform::FlightRecorderMemoryBytes() / 1024.0;
    state.counters["kept_kib"] = platform::FlightRecorderKeptBytes() / 1024.0;
    state.counters["file_kib"] = path.empty() ? 0 : std::filesystem::file_size(path) / 1024.0;
    state.counters["resident_at_start_kib"] =
        static_cast<double>(resident_started - resident_before);
    state.counters["resident_growth_kib"] = static_cast<double>(resident_after - resident_started);
    platform::StopFlightRecorder();
    CloseHandle(device);
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_RecorderTenMinutes)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
