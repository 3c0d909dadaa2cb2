// The link thread and its poll cycle. Everything that touches the device happens here, so sleeps
// and slow transfers delay polling but never the user interface. The thread talks to the main
// window only by posting WM_CONTROLLER_KEY and WM_PANEL_REFRESH.
#include "link/link_thread.h"

#include <thread>

#include "app/panel_state.h"
#include "lcd/frame_assembly.h"
#include "link/command_queue.h"
#include "link/link_discovery.h"
#include "link/sector_transfer.h"

namespace {

// A private message of the link window that is accepted and ignored.
constexpr UINT WM_LINK_PRIVATE = 0x0500;

struct LinkMessageHandler {
  UINT message;
  void (*handle)();  // null: answered with 0, nothing done
};

const LinkMessageHandler LinkMessageHandlers[] = {
    {WM_CREATE, nullptr},
    {WM_TIMER, PollLink},  // whatever the timer id
    {WM_LINK_PRIVATE, nullptr},
};

void ArmPollTimer(UINT interval_ms) {
  SetTimer(Panel.LinkWindow, TIMER_LINK_POLL, interval_ms, nullptr);
}

// Waits out the main thread taking the link's state (a few microseconds) before a tick.
void EnterLinkTick() {
  std::uint8_t idle = LinkIdle;
  while (!Panel.LinkActivity.compare_exchange_weak(idle, LinkInTick)) {
    idle = LinkIdle;
    std::this_thread::yield();
  }
}

void MakeHiddenLinkWindow() {
  Panel.LinkWindow = CreateWindowExW(0, W("DiskRead"), W("DiskRead"), WS_POPUP, 0, 0, 10, 10,
                                     nullptr, nullptr, nullptr, nullptr);
  ShowWindow(Panel.LinkWindow, SW_HIDE);
}

void PollStream() {
  if (ReadStreamSectors()) {
    ProcessLcdBatch(Panel.StreamBuffer);
  } else {
    ReconnectLink();
  }
  ArmPollTimer(StreamPollMs);
}

void PollStatus() {
  if (ReadStatusSector()) {
    Panel.ControllerStatus = Panel.StreamBuffer[ExchangeStatusOffset];
    const std::uint8_t key = Panel.StreamBuffer[ExchangeKeyCodeOffset];
    if (key != 0) HandOverControllerKey(key);
  } else {
    ReconnectLink();
  }
  ArmPollTimer(StatusPollMs);
}

}  // namespace

DWORD LinkThreadMain(LPVOID resumed) {
  if (RegisterLinkWindowClass() == 0) return 0;
  EnterLinkTick();
  Panel.LinkWindow = resumed ? ResumeLinkWindow() : CreateLinkWindow();
  Panel.LinkActivity = LinkIdle;
  if (Panel.LinkWindow == nullptr) return 0;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) {
    EnterLinkTick();
    DispatchMessageW(&message);
    Panel.LinkActivity = LinkIdle;
  }
  return static_cast<DWORD>(message.wParam);
}

ATOM RegisterLinkWindowClass() {
  WNDCLASSW window_class = {};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = LinkWindowProc;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = GetStockObject(BLACK_BRUSH);
  window_class.lpszClassName = W("DiskRead");
  return RegisterClassW(&window_class);
}

HWND CreateLinkWindow() {
  MakeHiddenLinkWindow();
  Panel.FailedProbeCount = 0;
  Panel.LinkConnected = 0;
  do {
    ProbeCountAndPause();
  } while (Panel.LinkConnected != 1);
  SendStartupCommands();
  ArmPollTimer(FirstPollMs);
  return Panel.LinkWindow;
}

HWND ResumeLinkWindow() {
  MakeHiddenLinkWindow();
  ReopenLinkDevice();
  ArmPollTimer(Panel.StreamMode == 1 ? StreamPollMs : StatusPollMs);
  return Panel.LinkWindow;
}

LRESULT LinkWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  for (const LinkMessageHandler& handler : LinkMessageHandlers) {
    if (handler.message != message) continue;
    if (handler.handle) handler.handle();
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void PollLink() {
  KillTimer(Panel.LinkWindow, TIMER_LINK_POLL);
  // The timer is armed again after the read and any reconnect but before the queue is drained,
  // so the command write overlaps the next interval.
  if (Panel.LinkConnected != 1) {
    ReconnectLink();
    ArmPollTimer(Panel.StreamMode == 1 ? StreamPollMs : StatusPollMs);
  } else if (Panel.StreamMode == 1) {
    PollStream();
  } else {
    PollStatus();
  }
  if (CommandPending()) TransmitCommand();
  if (++Panel.PollsSinceChange > QuietTicksBeforeRefresh) {
    PostMessageW(Panel.MainWindow, WM_PANEL_REFRESH, 0, 0);
  }
}
