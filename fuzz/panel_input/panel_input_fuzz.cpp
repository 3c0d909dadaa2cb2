// Arbitrary touches and controller key codes into the running panel (no controller attached, in
// virtual time on the headless display). After every event the panel's state must stay within its
// ranges and every packet it queued must be one the controller knows.
//
// One program runs for the whole session, so that an input costs only its own events; before each
// input it is put back into one state (the panel in front in the full view, the preferences and
// the arrow and key memories at their start, no finger down, the queue empty, the heartbeat and
// autosave timers restarted, the clock at one reading), so that an input does the same whatever
// ran before it. Pen-downs on the exit corner (x from 771, y up to 29) are left out, since they end
// the program.
//
// Input: records of five bytes. Byte 0: bits 0 to 1 pick the event (pen down, pen up, key code;
// 3 lets time pass only), bits 2 to 7 the virtual time that passes after it in steps of 10 ms.
// Bytes 1 and 2 are the pen's x (or byte 1 the key code), bytes 3 and 4 its y, low byte first:
// the whole 16-bit range, as the display may report positions beyond the screen.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <mutex>

#include "app/app_main.h"
#include "app/panel_state.h"
#include "platform/resources.h"
#include "platform/testing.h"
#include "platform/testing_display.h"
#include "resources/panel_resources.h"

namespace {

bool Among(long value, std::initializer_list<long> values) {
  for (long known : values) {
    if (value == known) return true;
  }
  return false;
}

bool AllZero(const std::uint8_t* bytes, int from, int to) {
  for (int i = from; i <= to; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

bool SingleBit(std::uint8_t value) { return value != 0 && (value & (value - 1)) == 0; }

// The packets the panel may send after start-up, written out independently of the code that
// builds them.
bool KnownPacket(const std::uint8_t* p) {
  if (p[0] != 0xA5 || p[1] != 0xE3 || !AllZero(p, 12, 14)) return false;
  switch (p[9]) {
    case 0x00: {
      if (p[10] != 0 || p[11] != 0 || !Among(p[2], {0x00, 0x30})) return false;
      const bool release = p[2] == 0 && AllZero(p, 3, 8);
      const bool volume =
          Among(p[3], {0x11, 0x88}) && p[4] == 0 && Among(p[5], {1, 2}) && AllZero(p, 6, 8);
      const bool file =
          p[3] == 0 && Among(p[4], {0x22, 0x44}) && Among(p[5], {1, 2}) && AllZero(p, 6, 8);
      const bool key =
          AllZero(p, 3, 5) && Among(p[6], {0x00, 0x10, 0x20}) && SingleBit(p[7]) && p[8] == 0;
      const bool eject = AllZero(p, 3, 7) && p[8] == 0x42;
      return release || volume || file || key || eject;
    }
    case 0x02:
      return p[2] == 0x30 && AllZero(p, 3, 8) && p[11] == 0x30 &&
             Among(p[10], {0x08, 0x28, 0xC8, 0x48, 0xA8, 0x00, 0xB8, 0x88});
    case 0x03:
      if (!AllZero(p, 3, 8) || p[11] != 0x30) return false;
      if (p[2] == 0x30) return Among(p[10], {0xB0, 0xB8});
      return p[2] == 0 && Among(p[10], {0xB8, 0xB1, 0xB5, 0xB9, 0xBD});
    default:
      return false;
  }
}

bool StateInRange() {
  return Panel.ButtonId >= 0 && Panel.ButtonId <= 29 && Panel.LcdColourIndex >= 0 &&
         Panel.LcdColourIndex <= 4 && Among(Panel.UsbFlag, {0, 1}) &&
         Among(Panel.AuxFlag, {0, 1}) && Among(Panel.LcdFillStyle, {0, 1}) &&
         Among(Panel.PanelMode, {0, 1}) && Panel.HeartbeatCount <= 10 &&
         Among(Panel.StreamMode.load(), {0, 1});
}

// Checks what waits in the queue (the spare slot included) and takes it out, as the link thread
// would.
bool TakeKnownPackets() {
  CommandQueueRecord& queue = Panel.CommandQueue;
  std::lock_guard<std::mutex> hold(queue.lock);
  if (queue.count > 2) return false;
  for (const auto& slot : queue.slots) {
    if (!AllZero(slot, 0, CommandSlotBytes - 1) && !KnownPacket(slot)) return false;
  }
  queue.count = 0;
  std::memset(queue.slots, 0, sizeof queue.slots);
  return true;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "panel_input_fuzz: %s\n", what);
  std::abort();
}

const SYSTEMTIME& ClockReading() {
  static const SYSTEMTIME reading = platform::LocalTime(2026, 1, 1, 8, 0, 0);
  return reading;
}

// The state every input starts from, set on the main thread between two of its messages.
constexpr UINT ResetMessage = WM_USER + 1;
HWND reset_window = nullptr;
bool reset_done = false;

void ResetOnMainThread() {
  KillTimer(Panel.MainWindow, TIMER_TOUCH_REPEAT);
  Panel.PanelMode = FullPanelMode;
  Panel.PenX = Panel.PenY = 0;
  Panel.ButtonId = 0;
  Panel.LastVolumeButton = Panel.LastFileButton = 0;
  Panel.TouchPacketTag = 0x30;
  Panel.PreviousControllerKey = 0x53;
  Panel.NavigationInFront = 0;
  Panel.HeartbeatCount = 10;
  Panel.UsbFlag = Panel.AuxFlag = Panel.LcdColourIndex = Panel.LcdFillStyle = 0;
  Panel.SavedUsbFlag = Panel.SavedAuxFlag = Panel.SavedLcdColourIndex = Panel.SavedLcdFillStyle = 0;
  Panel.StreamMode = 1;
  ShowWindow(Panel.MainWindow, SW_SHOW);
  SetForegroundWindow(Panel.MainWindow);
  SetTimer(Panel.MainWindow, TIMER_HEARTBEAT, HeartbeatPeriodMs, nullptr);
  SetTimer(Panel.MainWindow, TIMER_AUTOSAVE, AutosavePeriodMs, nullptr);
  reset_done = true;
}

LRESULT ResetWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != ResetMessage) return DefWindowProcW(window, message, wparam, lparam);
  ResetOnMainThread();
  return 0;
}

int RunPanel() {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = ResetWindowProc;
  window_class.lpszClassName = W("PanelInputFuzzReset");
  RegisterClassW(&window_class);
  reset_window = CreateWindowExW(0, W("PanelInputFuzzReset"), W("PanelInputFuzzReset"), WS_POPUP, 0,
                                 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  return AppMain(nullptr, nullptr, nullptr, SW_SHOW);
}

void StartPanel() {
  ResetPanelState();
  platform::StartVirtualRun(ClockReading());
  platform::StartMainThread(RunPanel);
  // A run that lasts for the whole fuzzing session would otherwise keep every message it saw.
  platform::SetTraceRecording(false);
  platform::AdvanceVirtualTime(50);
}

// The reset waits for what the last input left in the main thread's queue: each view switch in it
// pauses 200 ms, and an input may have queued dozens.
void ResetPanel() {
  reset_done = false;
  PostMessageW(reset_window, ResetMessage, 0, 0);
  for (int step = 0; step < 600 && !reset_done; ++step) platform::AdvanceVirtualTime(50);
  if (!reset_done) Fail("the main thread did not come back to its message loop");
  platform::SetVirtualLocalTime(ClockReading());
  Panel.ControllerKey = 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A card of its own for the settings file that autosave writes, removed at exit.
  static char card[] = "/tmp/quelt-fuzz-card-XXXXXX";
  if (mkdtemp(card) == nullptr) std::abort();
  std::atexit([] { std::filesystem::remove_all(card); });
  setenv("QUELT_STORAGE_CARD", card, 1);
  setenv("QUELT_LINK_DEVICES", "", 1);
  platform::testing::ForceHeadlessDisplay();
  SetResourceTable(&PanelResources());
  StartPanel();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t RecordBytes = 5;
  ResetPanel();
  if (!TakeKnownPackets()) Fail("unknown packet queued");
  for (std::size_t at = 0; at + RecordBytes <= size; at += RecordBytes) {
    const std::uint8_t* record = data + at;
    const int x = record[1] | record[2] << 8;
    const int y = record[3] | record[4] << 8;
    switch (record[0] & 3) {
      case 0:
        if (x >= 771 && y <= 29) break;
        PostMessageW(Panel.MainWindow, WM_LBUTTONDOWN, 0, MAKELPARAM(x, y));
        break;
      case 1:
        PostMessageW(Panel.MainWindow, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        break;
      case 2:
        if (record[1] == 0) break;  // the link thread never hands over a zero code
        Panel.ControllerKey = record[1];
        PostMessageW(Panel.MainWindow, WM_CONTROLLER_KEY, 0, 0);
        break;
      default:
        break;
    }
    platform::AdvanceVirtualTime(1 + (record[0] >> 2) * 10);
    if (!StateInRange()) Fail("panel state out of range");
    if (!TakeKnownPackets()) Fail("unknown packet queued");
    if (Panel.BackBufferDc == nullptr) Fail("the program ended");
  }
  return 0;
}
