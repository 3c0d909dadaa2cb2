#include "tests/soak/soak_observer.h"

#include <cstring>

#include "app/panel_state.h"
#include "platform/testing.h"
#include "platform/testing_display.h"

namespace {

SoakObserver* active_observer = nullptr;

// The four packets that wake the controller once the device is found, written out from the
// description of the packet layout (bytes 0 to 11).
constexpr std::uint8_t StartupPackets[4][12] = {
    {0xA5, 0xE3, 0, 0, 0, 0x33, 0, 0, 0, 0, 0, 0x30},
    {0xA5, 0xE3, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x12, 0x30},
    {0xA5, 0xE3, 0, 0, 0, 0, 0, 0, 0, 0x03, 0xB9, 0x30},
    {0xA5, 0xE3, 0, 0, 0, 0, 0, 0, 0, 0x03, 0xBD, 0x30},
};

constexpr DWORD ProbeSectorNumber = 597;
constexpr DWORD ExchangeSectorNumber = 629;

bool CarriesSignature(const std::uint8_t* sector) {
  return std::memcmp(sector, "VANTREL000", 10) == 0 && (sector[10] == '1' || sector[10] == '2');
}

ViewState CurrentViewState(int link_variant) {
  ViewState state;
  state.panel_mode = Panel.PanelMode;
  state.fill_style = Panel.LcdFillStyle;
  state.colour_index = Panel.LcdColourIndex;
  state.usb_flag = Panel.UsbFlag;
  state.aux_flag = Panel.AuxFlag;
  state.link_variant = link_variant;
  state.button_id = Panel.ButtonId;
  return state;
}

}  // namespace

void SetSoakObserver(SoakObserver* observer) { active_observer = observer; }
SoakObserver* ActiveSoakObserver() { return active_observer; }

void SoakObserver::Fail(const std::string& what) {
  if (failure_.empty()) {
    failure_ = "virtual time " + std::to_string(platform::VirtualNowMs()) + " ms: " + what;
  }
}

void SoakObserver::Queued(const std::uint8_t* produced) { ledger_.Queue(produced); }

void SoakObserver::StartupBegins() {
  startup_thread_ = std::this_thread::get_id();
  startup_packets_queued_ = 1;
  ledger_.Queue(StartupPackets[0]);
}

// The start-up sequence queues its next packet as soon as each pause is over.
void SoakObserver::SleptOnThisThread() {
  if (startup_packets_queued_ < 1 || startup_packets_queued_ >= 4) return;
  if (std::this_thread::get_id() != startup_thread_) return;
  ledger_.Queue(StartupPackets[startup_packets_queued_++]);
}

void SoakObserver::StartupEnds() {
  if (startup_packets_queued_ != 4) {
    Fail("the start-up sequence paused " + std::to_string(startup_packets_queued_ - 1) +
         " times instead of 3");
  }
  startup_packets_queued_ = 0;
}

void SoakObserver::AwaitTransfers(std::uint64_t opens, std::uint64_t reads) {
  const std::int64_t now = platform::VirtualNowMs();
  transfers_.opens_awaited = opens;
  transfers_.reads_awaited = reads;
  transfers_.opens_reached_ms = transfers_.opens >= opens ? now : -1;
  transfers_.reads_reached_ms = transfers_.reads >= reads ? now : -1;
}

void SoakObserver::Opened() {
  if (++transfers_.opens == transfers_.opens_awaited) {
    transfers_.opens_reached_ms = platform::VirtualNowMs();
  }
}

void SoakObserver::LinkLost() {
  if (!link_.up) return;
  link_.up = false;
  link_.down_since_ms = platform::VirtualNowMs();
}

void SoakObserver::Transferred(DWORD control_code, const SG_REQ& request, BOOL succeeded,
                               DWORD bytes) {
  const std::int64_t now = platform::VirtualNowMs();
  const std::uint8_t* buffer = request.sr_sglist[0].sb_buf;
  // Exchange transfers follow only a probe that found the signature.
  if (request.sr_start == ExchangeSectorNumber && !link_.up) {
    Fail("an exchange transfer on a link that no probe found");
  }
  if (control_code == DISK_IOCTL_WRITE) {
    ++transfers_.writes;
    WirePacket packet;
    std::memcpy(packet.data(), buffer, packet.size());
    std::string problem;
    if (!ledger_.Write(packet, succeeded != 0, &problem)) Fail(problem);
    if (!succeeded) LinkLost();
    return;
  }
  if (++transfers_.reads == transfers_.reads_awaited) transfers_.reads_reached_ms = now;
  if (request.sr_start == ProbeSectorNumber) {
    // The probe never looks at the count, and a read that failed finds no signature.
    ++checks_.probes;
    if (!succeeded || !CarriesSignature(buffer)) return;
    link_.variant = buffer[10] == '2' ? 1 : 0;
    if (link_.up) return;
    link_.up = true;
    link_.up_since_ms = now;
    ++link_.recoveries;
    return;
  }
  if (request.sr_start != ExchangeSectorNumber) return;
  const bool stream = request.sr_num_sec == 10;
  // One byte short of the whole read still counts as good.
  const DWORD good_bytes = stream ? 5119 : 511;
  if (!succeeded || bytes < good_bytes) {
    ++checks_.failed_reads;
    LinkLost();
    return;
  }
  if (stream) {
    ++checks_.stream_reads;
    TakeStreamRead(&lcd_, buffer);
  } else {
    ++checks_.status_reads;
  }
}

void SoakObserver::CheckScreen(std::uint64_t* count, const char* after) {
  ++*count;
  const std::vector<std::uint8_t> capture = platform::testing::CaptureScreen();
  const bool shown = IsWindowVisible(Panel.MainWindow) != 0;
  std::string problem;
  if (screen_->Matches(capture, shown, &problem)) return;
  platform::testing::WriteCaptureBmp(capture, "/tmp/quelt-soak-screen.bmp");
  platform::testing::WriteCaptureBmp(screen_->window(), "/tmp/quelt-soak-reference.bmp");
  Fail(std::string("after a ") + after + ", " + problem +
       " (both pictures in /tmp/quelt-soak-screen.bmp and /tmp/quelt-soak-reference.bmp)");
}

void SoakObserver::Painted() {
  screen_->Paint(CurrentViewState(link_.variant));
  CheckScreen(&checks_.screens_after_paint, "paint");
}

void SoakObserver::Refreshed() {
  ++checks_.matrices;
  if (std::memcmp(lcd_.matrix, Panel.LcdPixelMatrix, sizeof lcd_.matrix) != 0) {
    for (int row = 0; row < LcdReference::Rows; ++row) {
      for (int column = 0; column < LcdReference::Columns; ++column) {
        if (lcd_.matrix[row][column] == Panel.LcdPixelMatrix[row][column]) continue;
        Fail("the pixel matrix differs from the stream's at row " + std::to_string(row) +
             ", column " + std::to_string(column));
        return;
      }
    }
  }
  screen_->Refresh(CurrentViewState(link_.variant), lcd_, platform::VirtualNowMs());
  CheckScreen(&checks_.screens_after_refresh, "refresh");
}
