// The whole program in real time, as build/quelt-panel runs it (the panel's resources, the
// in-process controller simulator), watched from outside the system's code: the simulator says
// when it received a packet and when it drew a frame, the display when drawing reached the
// screen. Start reading at main; scripts/bench runs each mode and prints the figures.
//
//   panel_run_bench cpu SECONDS [PID]   CPU of this process (and of PID, the X server) while the
//                                       panel is in front and the LCD streams, and peak memory
//   panel_run_bench latency EVENTS      touch -> packet at the device, and a changed LCD frame at
//                                       the device -> its pixels presented, EVENTS of each
//   panel_run_bench startup RUNS        process start -> first picture, over RUNS fresh processes
//
// The simulator's LCD changes all the time: a touch on INFO makes its text line scroll. Output is
// one "name value" line per figure.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/app_main.h"
#include "app/panel_state.h"
#include "platform/resources.h"
#include "platform/testing_display.h"
#include "resources/panel_resources.h"
#include "sim/in_process.h"
#include "sim/register.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using platform::testing::InjectPen;
using platform::testing::Pen;

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Touch points on the full panel (panel/hit_map.cpp): INFO, VOL down, VOL up.
constexpr int InfoX = 760, InfoY = 180;
constexpr int VolumeDownX = 55, VolumeUpX = 135, VolumeY = 390;

// ---- What the simulator and the display report --------------------------------------------------

// The LCD as the full panel shows it: rows 15 to 119 and columns 8 to 314 land on screen at
// (2x + 78, 2y + 32) in both fill styles, red when lit.
constexpr int ShownTop = 15, ShownBottom = 119, ShownLeft = 8, ShownRight = 314;
constexpr std::uint32_t LcdRed = 0xFF1400;

std::uint64_t MixIn(std::uint64_t hash, bool lit) {
  return (hash ^ (lit ? 1 : 0)) * 1099511628211u;
}

std::uint64_t ShownSignature(const sim::LcdImage& frame) {
  std::uint64_t hash = 14695981039346656037u;
  for (int y = ShownTop; y <= ShownBottom; ++y) {
    for (int x = ShownLeft; x <= ShownRight; ++x) hash = MixIn(hash, sim::LcdPixel(frame, x, y));
  }
  return hash;
}

std::uint64_t ScreenSignature(const platform::testing::PresentedWindow& window) {
  std::uint64_t hash = 14695981039346656037u;
  for (int y = ShownTop; y <= ShownBottom; ++y) {
    const std::uint32_t* row = window.pixels + static_cast<std::size_t>(2 * y + 32) * window.width;
    for (int x = ShownLeft; x <= ShownRight; ++x) hash = MixIn(hash, row[2 * x + 78] == LcdRed);
  }
  return hash;
}

struct DrawnFrame {
  std::uint64_t signature;
  Clock::time_point drawn;
};

struct Observations {
  std::mutex lock;
  std::condition_variable changed;
  // Packets as they arrive, for the touch that waits for its own.
  std::deque<std::pair<sim::DecodedPacket, Clock::time_point>> packets;
  // LCD frames whose shown part changed and that the screen has not shown yet.
  bool watch_frames = false;
  std::uint64_t last_drawn_signature = 0;
  std::deque<DrawnFrame> frames;
  std::vector<double> frame_latencies_ms;
  std::atomic<long> presents{0};
  bool check_screen = false;
};

Observations& Seen() {
  static Observations seen;
  return seen;
}

void PacketReceived(const sim::Packet& packet) {
  const auto now = Clock::now();
  const sim::DecodedPacket decoded = sim::DecodePacket(packet);
  Observations& seen = Seen();
  std::lock_guard<std::mutex> hold(seen.lock);
  seen.packets.emplace_back(decoded, now);
  seen.changed.notify_all();
}

void FrameDrawn(const sim::LcdImage& frame) {
  const auto now = Clock::now();
  Observations& seen = Seen();
  std::lock_guard<std::mutex> hold(seen.lock);
  if (!seen.watch_frames) return;
  const std::uint64_t signature = ShownSignature(frame);
  if (signature == seen.last_drawn_signature) return;
  seen.last_drawn_signature = signature;
  seen.frames.push_back({signature, now});
}

// A frame counts as presented when the screen shows it or a later frame; frames overtaken before
// the screen showed them count with the picture that replaced them.
void Presented(const platform::testing::PresentedWindow& window) {
  const auto now = Clock::now();
  Observations& seen = Seen();
  ++seen.presents;
  if (window.window != Panel.MainWindow || window.width < 800 || window.height < 480) return;
  std::lock_guard<std::mutex> hold(seen.lock);
  if (!seen.check_screen || seen.frames.empty()) return;
  const std::uint64_t signature = ScreenSignature(window);
  const auto shown =
      std::find_if(seen.frames.rbegin(), seen.frames.rend(),
                   [&](const DrawnFrame& frame) { return frame.signature == signature; });
  if (shown == seen.frames.rend()) return;
  const auto end = shown.base();
  for (auto frame = seen.frames.begin(); frame != end; ++frame) {
    seen.frame_latencies_ms.push_back(MsBetween(frame->drawn, now));
  }
  seen.frames.erase(seen.frames.begin(), end);
}

// ---- Running the program ------------------------------------------------------------------------

// As build/quelt-panel starts, with the simulator started here so that it can be watched.
void StartProgram() {
  SetResourceTable(&PanelResources());
  RegisterSimulatorDevices();
  setenv("QUELT_LINK_DEVICES", "sim", 1);
  const std::shared_ptr<sim::Controller> controller = sim::StartInProcessController();
  sim::ControllerObserver observer;
  observer.packet_received = PacketReceived;
  observer.frame_drawn = FrameDrawn;
  controller->Observe(observer);
  platform::testing::ObservePresents(Presented);
}

void Touch(int x, int y) {
  InjectPen(Pen::Down, x, y);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  InjectPen(Pen::Up, x, y);
}

// Waits for the panel to come in front, then sets the LCD's text line scrolling.
bool BringUpStreamingPanel() {
  const auto give_up = Clock::now() + std::chrono::seconds(20);
  while (!Panel.MainWindow || !IsWindowVisible(Panel.MainWindow) ||
         GetForegroundWindow() != Panel.MainWindow) {
    if (Clock::now() > give_up) {
      std::fprintf(stderr, "panel_run_bench: the panel never came in front\n");
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // The controller's greeting on the LCD passes first.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  Touch(InfoX, InfoY);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  return true;
}

// utime + stime of a process from /proc, in seconds.
double ProcessCpuSeconds(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The fields after the command name, which is in parentheses and may hold spaces.
  const std::size_t after_name = text.rfind(')');
  if (after_name == std::string::npos) return 0;
  std::vector<std::string> fields;
  std::size_t start = after_name + 2;
  while (start < text.size()) {
    const std::size_t end = text.find(' ', start);
    fields.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (fields.size() < 13) return 0;
  // Fields 14 and 15 of the file: utime and stime in clock ticks.
  return (std::stod(fields[11]) + std::stod(fields[12])) / sysconf(_SC_CLK_TCK);
}

double OwnCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t index =
      std::min(values.size() - 1, static_cast<std::size_t>(fraction * values.size()));
  return values[index];
}

// ---- The modes ----------------------------------------------------------------------------------

void MeasureCpu(int seconds, long server_pid) {
  if (!BringUpStreamingPanel()) std::_Exit(1);
  const double own_before = OwnCpuSeconds();
  const double server_before = server_pid ? ProcessCpuSeconds(server_pid) : 0;
  const long presents_before = Seen().presents;
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double wall = MsBetween(start, Clock::now()) / 1000;
  const double own = OwnCpuSeconds() - own_before;
  std::printf("panel_cpu_percent %.3f\n", 100 * own / wall);
  if (server_pid) {
    std::printf("server_cpu_percent %.3f\n",
                100 * (ProcessCpuSeconds(server_pid) - server_before) / wall);
  }
  std::printf("presents_per_second %.2f\n", (Seen().presents - presents_before) / wall);
  std::printf("peak_rss_kb %ld\n", PeakResidentKb());
  std::fflush(stdout);
  std::_Exit(0);
}

// Waits for the next packet of the given kind that arrives after `since`; its arrival time.
bool WaitForPacket(sim::PacketKind kind, Clock::time_point since, Clock::time_point* arrived) {
  Observations& seen = Seen();
  std::unique_lock<std::mutex> hold(seen.lock);
  return seen.changed.wait_for(hold, std::chrono::seconds(2), [&] {
    while (!seen.packets.empty()) {
      const auto [packet, at] = seen.packets.front();
      seen.packets.pop_front();
      if (packet.kind == kind && at >= since) {
        *arrived = at;
        return true;
      }
    }
    return false;
  });
}

// Touches on VOL, down and up each one event, at random moments relative to the poll cycle; the
// LCD scrolls meanwhile and every frame that changes what the screen shows is timed as well.
void MeasureLatency(int events) {
  if (!BringUpStreamingPanel()) std::_Exit(1);
  Observations& seen = Seen();
  {
    std::lock_guard<std::mutex> hold(seen.lock);
    seen.watch_frames = seen.check_screen = true;
  }
  std::mt19937 random(5);
  std::uniform_int_distribution<int> pause_ms(60, 140);
  std::vector<double> touch_latencies_ms;
  bool up = true;
  while (static_cast<int>(touch_latencies_ms.size()) < events) {
    const int x = up ? VolumeUpX : VolumeDownX;
    up = !up;
    for (const Pen pen : {Pen::Down, Pen::Up}) {
      std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms(random)));
      const auto touched = Clock::now();
      InjectPen(pen, x, VolumeY);
      Clock::time_point arrived;
      const auto kind = pen == Pen::Down ? sim::PacketKind::VolumeArrow : sim::PacketKind::Release;
      if (!WaitForPacket(kind, touched, &arrived)) {
        std::fprintf(stderr, "panel_run_bench: a touch never reached the device\n");
        std::_Exit(1);
      }
      touch_latencies_ms.push_back(MsBetween(touched, arrived));
    }
  }
  // The LCD has streamed all along; let it reach the same count.
  for (int waited = 0; waited < 600; ++waited) {
    {
      std::lock_guard<std::mutex> hold(seen.lock);
      if (static_cast<int>(seen.frame_latencies_ms.size()) >= events) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::lock_guard<std::mutex> hold(seen.lock);
  const std::vector<double>& frames = seen.frame_latencies_ms;
  std::printf("touch_events %zu\n", touch_latencies_ms.size());
  std::printf("touch_to_packet_median_ms %.2f\n", Percentile(touch_latencies_ms, 0.5));
  std::printf("touch_to_packet_p99_ms %.2f\n", Percentile(touch_latencies_ms, 0.99));
  std::printf("lcd_events %zu\n", frames.size());
  std::printf("lcd_to_screen_median_ms %.2f\n", Percentile(frames, 0.5));
  std::printf("lcd_to_screen_p99_ms %.2f\n", Percentile(frames, 0.99));
  std::fflush(stdout);
  std::_Exit(0);
}

// The child of a start-up run: reports the moment the first picture reached the screen (the
// BackBuffer's first picture, copied to the window at the end of start-up), and the CPU time it
// took all threads to get there, which a busy machine does not stretch; then it ends.
void FirstPicture(const platform::testing::PresentedWindow&) {
  const timespec now = [] {
    timespec time;
    clock_gettime(CLOCK_MONOTONIC, &time);
    return time;
  }();
  std::printf("%lld %.3f\n", static_cast<long long>(now.tv_sec) * 1000000000 + now.tv_nsec,
              OwnCpuSeconds() * 1000);
  std::fflush(stdout);
  std::_Exit(0);
}

void MeasureStartup(const char* self, int runs) {
  std::vector<double> startup_ms, startup_cpu_ms;
  for (int run = 0; run < runs; ++run) {
    int out[2];
    if (pipe(out) != 0) std::_Exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* child_arguments[] = {const_cast<char*>(self), const_cast<char*>("first-picture"),
                               nullptr};
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t child = 0;
    const int failed = posix_spawn(&child, self, &actions, nullptr, child_arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (failed) std::_Exit(1);
    char text[64] = {};
    const ssize_t got = read(out[0], text, sizeof text - 1);
    close(out[0]);
    waitpid(child, nullptr, 0);
    if (got <= 0) {
      std::fprintf(stderr, "panel_run_bench: a start-up run showed no picture\n");
      std::_Exit(1);
    }
    const long long started = static_cast<long long>(start.tv_sec) * 1000000000 + start.tv_nsec;
    char* cpu_ms = nullptr;
    startup_ms.push_back((std::strtoll(text, &cpu_ms, 10) - started) / 1e6);
    startup_cpu_ms.push_back(std::strtod(cpu_ms, nullptr));
  }
  std::printf("startup_median_ms %.2f\n", Percentile(startup_ms, 0.5));
  std::printf("startup_cpu_median_ms %.2f\n", Percentile(startup_cpu_ms, 0.5));
  std::printf("startup_max_ms %.2f\n", *std::max_element(startup_ms.begin(), startup_ms.end()));
  std::fflush(stdout);
}

int RunProgramWith(std::thread measure) {
  measure.detach();
  return AppMain(nullptr, nullptr, nullptr, SW_SHOW);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const int amount = argc > 2 ? std::atoi(argv[2]) : 0;
  if (mode == "startup" && amount > 0) {
    MeasureStartup(argv[0], amount);
    return 0;
  }
  if (mode == "first-picture") {
    // A run that never shows a picture ends here, and its parent reports it.
    alarm(20);
    SetResourceTable(&PanelResources());
    RegisterSimulatorDevices();
    platform::testing::ObservePresents(FirstPicture);
    return AppMain(nullptr, nullptr, nullptr, SW_SHOW);
  }
  if (mode == "cpu" && amount > 0) {
    StartProgram();
    const long server_pid = argc > 3 ? std::atol(argv[3]) : 0;
    return RunProgramWith(std::thread(MeasureCpu, amount, server_pid));
  }
  if (mode == "latency" && amount > 0) {
    StartProgram();
    return RunProgramWith(std::thread(MeasureLatency, amount));
  }
  std::fprintf(stderr, "usage: %s cpu SECONDS [SERVER_PID] | latency EVENTS | startup RUNS\n",
               argv[0]);
  return 2;
}
