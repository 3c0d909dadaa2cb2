// Both threads in real time: a producer queues packets, moves StreamMode and restarts the quiet
// count as the main thread does, while the link thread polls the simulated controller; the test's
// own thread plays the main window, taking keys from the mailbox and reading the pixel matrix at
// every refresh. Built to run under ThreadSanitizer: every field both threads touch is shared in
// a race-free way.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "app/panel_state.h"
#include "link/command_queue.h"
#include "link/link_thread.h"
#include "sim/in_process.h"
#include "sim/register.h"

namespace {

constexpr std::uint8_t ProducedPackets = 80;
constexpr UINT_PTR WakeTimer = 1;

std::atomic<bool> ProducerDone{false};
int LitPixelsSeen = 0;

LRESULT MainStandInProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CONTROLLER_KEY) {
    Panel.ControllerKey.exchange(0);
    return 0;
  }
  if (message == WM_PANEL_REFRESH) {
    std::lock_guard<std::mutex> rendering(Panel.LcdMatrixLock);
    for (const auto& row : Panel.LcdPixelMatrix) {
      for (std::uint8_t pixel : row) LitPixelsSeen += pixel != 0;
    }
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// The producer's packets carry their number in byte 10; the start-up packets are the only others.
int PacketNumber(const sim::Packet& packet) { return packet[9] == 0x02 ? packet[10] : -1; }

void ProducePackets(sim::Controller* simulator) {
  for (std::uint8_t number = 1; number <= ProducedPackets; ++number) {
    CommandPacket packet = BlankCommandPacket;
    packet[CommandByteTag] = CommandTagValue;
    packet[CommandByteGroup] = 0x02;
    packet[CommandByteValue] = number;
    packet[CommandByteGroupMark] = CommandGroupMarkValue;
    QueueCommand(packet);
    if (number % 20 == 0) Panel.StreamMode = Panel.StreamMode == 1 ? 0 : 1;
    if (number % 7 == 0) Panel.PollsSinceChange = 0;
    if (number == 40) simulator->FailNextReads(1);
    if (number == 60) simulator->QueueKey(0x35);
    std::this_thread::sleep_for(std::chrono::milliseconds(9));
  }
  Panel.StreamMode = 1;
  ProducerDone = true;
}

TEST(LinkRealTimeTest, ProducerAndLinkThreadShareQueueAndFieldsSafely) {
  setenv("QUELT_LINK_DEVICES", "sim", 1);
  RegisterSimulatorDevices();
  ResetPanelState();
  std::shared_ptr<sim::Controller> simulator = sim::StartInProcessController();
  ASSERT_NE(simulator, nullptr);

  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = MainStandInProc;
  window_class.lpszClassName = W("MainStandIn");
  ASSERT_NE(RegisterClassW(&window_class), 0);
  Panel.MainWindow = CreateWindowExW(0, W("MainStandIn"), W("MainStandIn"), WS_POPUP, 0, 0, 10, 10,
                                     nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(Panel.MainWindow, nullptr);
  Panel.StreamMode = 1;
  std::thread link([] { LinkThreadMain(nullptr); });
  std::thread producer(ProducePackets, simulator.get());

  // The main window's loop, woken every 20 ms to see whether the producer is done and the queue
  // has drained after at least one refresh: both come from poll ticks, which run only after the
  // link thread has stored its window.
  SetTimer(Panel.MainWindow, WakeTimer, 20, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) {
    DispatchMessageW(&message);
    if (message.message == WM_TIMER && ProducerDone && LitPixelsSeen > 0 && !CommandPending()) {
      break;
    }
  }
  producer.join();

  PostMessageW(Panel.LinkWindow, WM_QUIT, 0, 0);
  link.join();

  std::vector<int> numbers;
  for (const sim::ReceivedPacket& received : simulator->Packets()) {
    const int number = PacketNumber(received.bytes);
    if (number > 0) numbers.push_back(number);
  }
  ASSERT_FALSE(numbers.empty());
  // Oldest first and none twice: whatever was dropped, the rest arrived in the order queued.
  for (std::size_t i = 1; i < numbers.size(); ++i) {
    EXPECT_LT(numbers[i - 1], numbers[i]) << "packet " << i;
  }
  EXPECT_LE(numbers.back(), ProducedPackets);
  EXPECT_GT(LitPixelsSeen, 0);
  sim::StopInProcessController();
}

}  // namespace
