#include "panel/heartbeat.h"

#include "app/panel_state.h"
#include "panel/packet_values.h"
#include "panel/window_visibility.h"

// Ticks after a reset that send a packet, and where the count stops.
constexpr std::uint32_t HeartbeatsSent = 3;
constexpr std::uint32_t HeartbeatCountLimit = 10;

// The navigation program's window, found by its title alone.
static const WCHAR NavigationWindowTitle[] = W("Atlan");

static void QueueHeartbeat(std::uint8_t status) {
  CommandPacket packet = BlankCommandPacket;
  SetCommandGroup(packet, StatusGroup, status);
  QueueCommand(packet);
}

static void ReportPanelInFront() {
  // In front, the report carries only the USB AUDIO setting; with USB NAVI nothing is sent.
  if (Panel.UsbFlag == 0 && Panel.HeartbeatCount < HeartbeatsSent) {
    QueueHeartbeat(StatusBase | StatusUsbAudio);
    Panel.UsbAudioBit = StatusUsbAudio;
  }
}

static void ReportPanelHidden() {
  if (Panel.HeartbeatCount >= HeartbeatsSent) return;
  Panel.UsbAudioBit = Panel.UsbFlag == 0 ? StatusUsbAudio : 0;
  QueueHeartbeat(StatusBase | StatusPanelHidden | Panel.UsbAudioBit |
                 (Panel.AuxFlag == 0 ? StatusAuxLit : 0));
}

void OnHeartbeat() {
  KillTimer(Panel.MainWindow, TIMER_HEARTBEAT);
  Panel.NavigationWindow = FindWindowW(nullptr, NavigationWindowTitle);
  if (PanelInFront()) {
    ReportPanelInFront();
  } else {
    ReportPanelHidden();
  }
  if (Panel.HeartbeatCount < HeartbeatCountLimit) ++Panel.HeartbeatCount;
  SetTimer(Panel.MainWindow, TIMER_HEARTBEAT, HeartbeatPeriodMs, nullptr);
}
