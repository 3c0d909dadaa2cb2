#include "tests/link/link_fixture.h"

#include <cstdlib>
#include <cstring>

#include "app/panel_state.h"
#include "link/link_thread.h"
#include "sim/register.h"

namespace {

constexpr char StandInClass[] = "PanelStandIn";

LRESULT StandInWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_CONTROLLER_KEY) return DefWindowProcW(window, message, wparam, lparam);
  const std::uint8_t code = Panel.ControllerKey.exchange(0);
  if (code != 0) platform::TraceEvent("key " + std::to_string(code));
  return 0;
}

HWND CreateStandInWindow() {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = StandInWindowProc;
  window_class.lpszClassName = W("PanelStandIn");
  RegisterClassW(&window_class);
  return CreateWindowExW(0, W("PanelStandIn"), W("PanelStandIn"), WS_POPUP, 0, 0, 10, 10, nullptr,
                         nullptr, nullptr, nullptr);
}

std::vector<std::int64_t> TimesOf(const std::string& text) {
  std::vector<std::int64_t> times;
  for (const platform::TraceEntry& entry : platform::VirtualTrace()) {
    if (entry.text == text) times.push_back(entry.ms);
  }
  return times;
}

}  // namespace

void LinkScenarioTest::SetUp() {
  RegisterSimulatorDevices();
  sim::StopInProcessController();
  ResetPanelState();
  run_ = std::make_unique<platform::VirtualRunScope>(platform::LocalTime(2026, 12, 7, 9, 5, 0));
  ASSERT_TRUE(run_->started());
  UseDevices("sim");
}

void LinkScenarioTest::TearDown() {
  run_.reset();
  sim::StopInProcessController();
  unsetenv("QUELT_LINK_DEVICES");
}

void LinkScenarioTest::UseDevices(const std::string& list, const std::string& simulator_options) {
  setenv("QUELT_LINK_DEVICES", list.c_str(), 1);
  // Started inside the run, so that its clock and scripted events count from virtual 0.
  simulator_ = sim::StartInProcessController(simulator_options);
  ASSERT_NE(simulator_, nullptr);
}

void LinkScenarioTest::StartLinkThread(std::function<void()> prepare) {
  ASSERT_TRUE(platform::StartMainThread([prepare] {
    Panel.MainWindow = CreateStandInWindow();
    if (prepare) prepare();
    Panel.StreamMode = 1;
    CloseHandle(CreateThread(nullptr, 0, LinkThreadMain, nullptr, 0, nullptr));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
    return 0;
  }));
}

void LinkScenarioTest::RunUntil(std::int64_t ms) {
  platform::AdvanceVirtualTime(ms - platform::VirtualNowMs());
}

std::vector<std::int64_t> LinkScenarioTest::TickTimes() const {
  return TimesOf("DiskRead WM_TIMER 20 0");
}

std::vector<std::int64_t> LinkScenarioTest::RefreshTimes() const {
  return TimesOf(std::string(StandInClass) + " 0x0503 0 0");
}

std::vector<std::int64_t> LinkScenarioTest::KeyMessageTimes() const {
  return TimesOf(std::string(StandInClass) + " 0x0505 0 0");
}

std::vector<HandledKey> LinkScenarioTest::HandledKeys() const {
  std::vector<HandledKey> keys;
  for (const platform::TraceEntry& entry : platform::VirtualTrace()) {
    if (entry.text.rfind("key ", 0) == 0) {
      keys.push_back({entry.ms, static_cast<std::uint8_t>(std::stoi(entry.text.substr(4)))});
    }
  }
  return keys;
}

CommandPacket NumberedPacket(std::uint8_t number) {
  CommandPacket packet = BlankCommandPacket;
  packet[CommandByteTag] = CommandTagValue;
  packet[CommandByteGroup] = 0x02;
  packet[CommandByteValue] = number;
  packet[CommandByteGroupMark] = CommandGroupMarkValue;
  return packet;
}

sim::Packet OnTheWire(const CommandPacket& packet) {
  sim::Packet wire = {};
  std::memcpy(wire.data(), packet.data(), packet.size());
  return wire;
}

std::int64_t FirstAtOrAfter(const std::vector<std::int64_t>& times, std::int64_t ms) {
  for (std::int64_t time : times) {
    if (time >= ms) return time;
  }
  return -1;
}
