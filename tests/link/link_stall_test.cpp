// A controller whose server hangs: the link thread streams from the simulator behind a real
// nbdkit, the server is stopped with SIGSTOP for five seconds, and then continued. The link
// thread must not sit in a transfer for the whole stall: it fails the transfer at its deadline,
// goes on probing, and once the server answers again the LCD streams and a packet queued during
// the stall reaches the controller. The test's own thread plays the main window. Times are
// printed, not asserted: the bounds below only stop a test that hangs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "app/panel_state.h"
#include "link/command_queue.h"
#include "link/link_thread.h"
#include "tests/platform_devices/nbd_server.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr UINT_PTR WakeTimer = 1;
constexpr std::uint8_t StallMarker = 0x5A;

std::atomic<int> Refreshes{0};

LRESULT MainStandInProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CONTROLLER_KEY) {
    Panel.ControllerKey.exchange(0);
    return 0;
  }
  if (message == WM_PANEL_REFRESH) {
    ++Refreshes;
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// Runs the stand-in's loop until done() holds or bound_ms pass; false at the bound.
template <typename Done>
bool PumpUntil(Done done, int bound_ms) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(bound_ms);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) {
    DispatchMessageW(&message);
    if (done()) return true;
    if (Clock::now() > end) return false;
  }
  return false;
}

// The simulator's trace: one line a packet, its bytes in hexadecimal after the tick.
bool TraceHolds(const std::string& path, const std::string& bytes) {
  std::ifstream trace(path);
  std::string line;
  while (std::getline(trace, line)) {
    if (line.find(bytes) != std::string::npos) return true;
  }
  return false;
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(LinkStall, AStoppedServerHoldsTheLinkOnlyUntilItAnswersAgain) {
  const std::string trace = testing::TempDir() + "quelt-stall-trace.txt";
  std::remove(trace.c_str());
  NbdServer server(QUELT_SIM_PLUGIN, {"trace=" + trace});
  ASSERT_TRUE(server.running());
  setenv("QUELT_LINK_DEVICES", server.list().c_str(), 1);
  ResetPanelState();

  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = MainStandInProc;
  window_class.lpszClassName = W("StallStandIn");
  ASSERT_NE(RegisterClassW(&window_class), 0);
  Panel.MainWindow = CreateWindowExW(0, W("StallStandIn"), W("StallStandIn"), WS_POPUP, 0, 0, 10,
                                     10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(Panel.MainWindow, nullptr);
  SetTimer(Panel.MainWindow, WakeTimer, 20, nullptr);
  Panel.StreamMode = 1;
  std::thread link([] { LinkThreadMain(nullptr); });

  // Streaming: the simulator's clock line changes the LCD every second.
  ASSERT_TRUE(PumpUntil([] { return Refreshes >= 2; }, 20000)) << "the LCD never streamed";

  server.Pause();
  const Clock::time_point stopped = Clock::now();
  ASSERT_TRUE(PumpUntil([&] { return SecondsSince(stopped) >= 5; }, 10000));
  // Queued while the link is down; it must go out once the controller is back.
  CommandPacket packet = BlankCommandPacket;
  packet[CommandByteGroup] = 0x02;
  packet[CommandByteValue] = StallMarker;
  packet[CommandByteGroupMark] = CommandGroupMarkValue;
  QueueCommand(packet);
  const int refreshes_before = Refreshes;
  server.Resume();
  const Clock::time_point resumed = Clock::now();

  const bool packet_sent = PumpUntil([&] { return TraceHolds(trace, " 02 5A 30"); }, 15000);
  const double packet_seconds = SecondsSince(resumed);
  const bool streaming = PumpUntil([&] { return Refreshes >= refreshes_before + 2; }, 15000);
  const double stream_seconds = SecondsSince(resumed);
  std::printf(
      "after the server continued: the packet reached it in %.3f s, the LCD streamed "
      "again in %.3f s\n",
      packet_seconds, stream_seconds);
  EXPECT_TRUE(packet_sent) << "the packet queued during the stall never reached the controller";
  EXPECT_TRUE(streaming) << "the LCD never streamed again";

  PostMessageW(Panel.LinkWindow, WM_QUIT, 0, 0);
  link.join();
  DestroyWindow(Panel.MainWindow);
}

}  // namespace
