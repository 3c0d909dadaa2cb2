// The panel's state as bytes: each field of the record that a replay needs, little-endian at its
// own width, in the order of VisitState, behind a layout number. Pointers, handles and drawing
// surfaces are not in it: a resumed program makes its own, and draws the screen anew from the
// rest.
#include "app/panel_snapshot.h"

#include <mutex>
#include <type_traits>

#include "app/panel_state.h"
#include "lcd/frame_assembly.h"
#include "panel/window_visibility.h"
#include "platform/flight_recorder.h"

namespace {

constexpr std::uint8_t StateLayout = 1;
// The layout number, then the window's shown and in-front flags.
constexpr std::size_t StateHeaderBytes = 3;

struct StateWriter {
  std::uint8_t* at;
  std::uint8_t* end;
  bool fits = true;

  template <typename T>
  void operator()(const T& value) {
    static_assert(std::is_integral_v<T>);
    if (static_cast<std::size_t>(end - at) < sizeof(T)) {
      fits = false;
      return;
    }
    const auto bits = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) *at++ = static_cast<std::uint8_t>(bits >> (8 * i));
  }
  void operator()(bool value) { (*this)(static_cast<std::uint8_t>(value ? 1 : 0)); }
  template <typename T>
  void operator()(const std::atomic<T>& value) {
    (*this)(value.load());
  }
  template <typename T, std::size_t N>
  void operator()(const T (&values)[N]) {
    for (const T& value : values) (*this)(value);
  }
};

struct StateReader {
  const std::uint8_t* at;
  const std::uint8_t* end;
  bool complete = true;

  template <typename T>
  void operator()(T& value) {
    static_assert(std::is_integral_v<T>);
    if (static_cast<std::size_t>(end - at) < sizeof(T)) {
      complete = false;
      return;
    }
    std::make_unsigned_t<T> bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      bits =
          static_cast<std::make_unsigned_t<T>>(bits | (std::make_unsigned_t<T>{*at++} << (8 * i)));
    }
    value = static_cast<T>(bits);
  }
  void operator()(bool& value) {
    std::uint8_t byte = 0;
    (*this)(byte);
    value = byte != 0;
  }
  template <typename T>
  void operator()(std::atomic<T>& value) {
    T plain{};
    (*this)(plain);
    value = plain;
  }
  template <typename T, std::size_t N>
  void operator()(T (&values)[N]) {
    for (T& value : values) (*this)(value);
  }
};

// Every field a replay needs, by the thread that owns it.
template <typename Io, typename Record>
void VisitState(Io& io, Record& panel) {
  // Main thread: touch, view, heartbeat, preferences and the clock line.
  io(panel.PanelMode);
  io(panel.PenX);
  io(panel.PenY);
  io(panel.ButtonId);
  io(panel.LastVolumeButton);
  io(panel.LastFileButton);
  io(panel.TouchPacketTag);
  io(panel.PreviousControllerKey);
  io(panel.NavigationInFront);
  io(panel.HeartbeatCount);
  io(panel.UsbFlag);
  io(panel.AuxFlag);
  io(panel.LcdColourIndex);
  io(panel.LcdFillStyle);
  io(panel.SavedUsbFlag);
  io(panel.SavedAuxFlag);
  io(panel.SavedLcdColourIndex);
  io(panel.SavedLcdFillStyle);
  io(panel.SettingsText);
  io(panel.SettingsRead);
  for (auto* field : {&panel.ClockTime.wYear, &panel.ClockTime.wMonth, &panel.ClockTime.wDayOfWeek,
                      &panel.ClockTime.wDay, &panel.ClockTime.wHour, &panel.ClockTime.wMinute,
                      &panel.ClockTime.wSecond, &panel.ClockTime.wMilliseconds}) {
    io(*field);
  }
  io(panel.PreviousClockMinute);
  io(panel.ClockText);
  // Link thread: the device, the controller's status and the LCD pages as filed and applied.
  io(panel.LinkConnected);
  io(panel.FailedProbeCount);
  io(panel.ProbeNameIndex);
  io(panel.ControllerStatus);
  io(panel.CommandSectorImage);
  io(panel.LcdPageImage);
  io(panel.LcdPageShadow);
  io(panel.LinkReported);
  io(panel.WrongSignatureReported);
  // Both threads.
  io(panel.LinkVariant);
  io(panel.StreamMode);
  io(panel.PollsSinceChange);
  io(panel.UsbAudioBit);
  io(panel.ControllerKey);
  io(panel.CommandQueue.count);
  io(panel.CommandQueue.slots);
}

// The state buffer: taken once, as the recorder allocates nothing while it runs.
std::uint8_t StateBytes[24 * 1024];

}  // namespace

std::size_t WritePanelState(std::uint8_t* out, std::size_t room) {
  if (room < StateHeaderBytes) return 0;
  out[0] = StateLayout;
  out[1] = IsWindowVisible(Panel.MainWindow) ? 1 : 0;
  out[2] = PanelInFront() ? 1 : 0;
  StateWriter writer{out + StateHeaderBytes, out + room};
  std::lock_guard<std::mutex> queue(Panel.CommandQueue.lock);
  VisitState(writer, Panel);
  return writer.fits ? static_cast<std::size_t>(writer.at - out) : 0;
}

bool ReadPanelState(const std::uint8_t* bytes, std::size_t size) {
  if (size < StateHeaderBytes || bytes[0] != StateLayout) return false;
  // Read into a scratch record first, so that bytes of another layout change nothing.
  static PanelState scratch;
  StateReader reader{bytes + StateHeaderBytes, bytes + size};
  VisitState(reader, scratch);
  if (!reader.complete || reader.at != reader.end) return false;
  StateReader again{bytes + StateHeaderBytes, bytes + size};
  std::lock_guard<std::mutex> queue(Panel.CommandQueue.lock);
  VisitState(again, Panel);
  RebuildLcdMatrix();
  return true;
}

PanelWindowState ReadPanelWindowState(const std::uint8_t* bytes, std::size_t size) {
  if (size < StateHeaderBytes) return {false, false};
  return {bytes[1] != 0, bytes[2] != 0};
}

void AskForPanelState() {
  // Held still, the link thread is between two ticks and waits before the next one.
  std::uint8_t idle = LinkIdle;
  if (!Panel.SettingsRead || !Panel.LinkActivity.compare_exchange_strong(idle, LinkHeldStill)) {
    return;
  }
  if (Panel.LinkConnected == 1) {
    const std::size_t size = WritePanelState(StateBytes, sizeof StateBytes);
    if (size > 0) platform::RecordProgramState(StateBytes, size);
  }
  Panel.LinkActivity = LinkIdle;
}
