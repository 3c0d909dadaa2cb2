// `quelt-replay FILE print`: one line per event. Reads of the exchange area show the key code and
// the status byte they carried and, as the LCD stream completes frames, a hash of each frame that
// differs from the one before; writes show the command packet's bytes and the button it stands
// for; the signature read shows the signature; pen positions name the region of the full panel
// they fall in; timers are named after what they do. Start reading at PrintRecording.
#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <iterator>

#include "app/exchange_layout.h"
#include "app/panel_state.h"
#include "panel/hit_map.h"
#include "platform/replay.h"
#include "sim/command_packet.h"
#include "sim/lcd_stream.h"
#include "tools/replay/replay_commands.h"

namespace {

using platform::RecordedEvent;
using platform::RecordedKind;

// Controller key codes the panel acts on.
struct KeyName {
  std::uint8_t code;
  const char* name;
};
constexpr KeyName ControllerKeys[] = {
    {0x53, "show the panel"},          {0x83, "switch the view"}, {0x3A, "stop streaming and hide"},
    {0x56, "report navigation, hide"}, {0x52, "volume up"},       {0x51, "volume down"},
};

struct MessageName {
  std::uint32_t message;
  const char* name;
};
constexpr MessageName InputMessages[] = {
    {WM_LBUTTONDOWN, "pen down"}, {WM_LBUTTONUP, "pen up"}, {WM_MOUSEMOVE, "pen move"},
    {WM_KEYDOWN, "key down"},     {WM_KEYUP, "key up"},     {WM_CHAR, "character"},
};

// The panel's timers, by id.
struct TimerName {
  std::uint64_t id;
  const char* name;
};
constexpr TimerName PanelTimers[] = {
    {TIMER_HEARTBEAT, "heartbeat"},
    {TIMER_AUTOSAVE, "autosave"},
    {TIMER_TOUCH_REPEAT, "button repeat"},
    {TIMER_LINK_POLL, "link poll"},
};

// The panel's own messages between its threads, by number.
constexpr MessageName PanelMessages[] = {
    {WM_CONTROLLER_KEY, "controller key"},
    {WM_PANEL_REFRESH, "refresh"},
};

std::string MessageLine(const RecordedEvent& event) {
  char number[16];
  std::snprintf(number, sizeof number, "%04X", event.message);
  std::string line = std::string("message ") + number;
  auto name = [&](const MessageName& known) {
    if (known.message == event.message) line += std::string(" (") + known.name + ")";
  };
  std::for_each(std::begin(PanelMessages), std::end(PanelMessages), name);
  std::for_each(std::begin(InputMessages), std::end(InputMessages), name);
  return line + " dispatched on " + event.text;
}

// "timer 1 (heartbeat) of QUELT_VER120"
std::string TimerText(std::uint64_t id, const std::string& window_class) {
  std::string text = "timer " + std::to_string(id);
  for (const TimerName& timer : PanelTimers) {
    if (timer.id == id) text += std::string(" (") + timer.name + ")";
  }
  return text + " of " + (window_class.empty() ? "the thread" : window_class);
}

std::string TimerLine(const RecordedEvent& event) { return TimerText(event.wparam, event.text); }

const char* ControllerKeyName(std::uint8_t code) {
  for (const KeyName& key : ControllerKeys) {
    if (key.code == code) return key.name;
  }
  return "answered with a key reply";
}

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  char byte[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", bytes[i]);
    text += byte;
  }
  return text;
}

// FNV-1a over the LCD's pages.
std::uint64_t FrameHash(const sim::LcdImage& frame) {
  std::uint64_t hash = 14695981039346656037u;
  for (const auto& page : frame.pages) {
    for (std::uint8_t byte : page) hash = (hash ^ byte) * 1099511628211u;
  }
  return hash;
}

struct PrintState {
  std::FILE* out;
  std::int64_t start_ms;
  sim::LcdStream stream;
  std::uint64_t last_frame_hash = 0;
};

void PrintRead(PrintState& state, const RecordedEvent& event, std::string& line) {
  if (!event.ok) {
    line += ": failed";
    return;
  }
  line += ": " + std::to_string(event.moved) + " bytes";
  if (event.sector == ProbeSector && event.data.size() >= 11) {
    line += ", signature \"" + std::string(event.data.begin(), event.data.begin() + 11) + "\"";
    return;
  }
  if (event.sector != ExchangeSector || event.data.size() < static_cast<std::size_t>(SectorBytes)) {
    return;
  }
  const std::uint8_t key = event.data[ExchangeKeyCodeOffset];
  if (key != 0) {
    char text[80];
    std::snprintf(text, sizeof text, ", key code %02X (%s)", key, ControllerKeyName(key));
    line += text;
  }
  if (event.sector_count == 1) {
    char text[32];
    std::snprintf(text, sizeof text, ", status %02X", event.data[ExchangeStatusOffset]);
    line += text;
    return;
  }
  const int frames_before = state.stream.frames;
  for (std::size_t at = 0; at + SectorBytes <= event.data.size(); at += SectorBytes) {
    sim::FileLcdSector(&state.stream, event.data.data() + at);
  }
  if (state.stream.frames == frames_before) return;
  const std::uint64_t hash = FrameHash(state.stream.last_frame);
  char text[64];
  std::snprintf(text, sizeof text,
                hash == state.last_frame_hash ? ", LCD unchanged" : ", LCD frame %016" PRIx64,
                hash);
  line += text;
  state.last_frame_hash = hash;
}

void PrintWrite(const RecordedEvent& event, std::string& line) {
  line += event.ok ? "" : " (failed)";
  if (event.data.size() < sim::PacketBytes) return;
  sim::Packet packet;
  std::memcpy(packet.data(), event.data.data(), packet.size());
  line += ": " + Hex(packet.data(), packet.size()) + " = " +
          sim::DescribePacket(sim::DecodePacket(packet));
}

std::string InputLine(const RecordedEvent& event) {
  const char* name = "message";
  for (const MessageName& known : InputMessages) {
    if (known.message == event.message) name = known.name;
  }
  char text[160];
  if (event.message == WM_LBUTTONDOWN || event.message == WM_LBUTTONUP ||
      event.message == WM_MOUSEMOVE) {
    const auto x = static_cast<std::uint32_t>(event.lparam & 0xFFFF);
    const auto y = static_cast<std::uint32_t>(event.lparam >> 16 & 0xFFFF);
    std::snprintf(text, sizeof text, "%s at (%u, %u) on %s: %s on the full panel", name, x, y,
                  event.text.c_str(), HitRegionName(x, y));
  } else if (event.message == WM_KEYDOWN || event.message == WM_KEYUP) {
    const unsigned key = static_cast<unsigned>(event.wparam);
    std::snprintf(text, sizeof text, "%s %s0x%02X%s on %s", name,
                  event.lparam & (LPARAM{1} << 25) ? "Ctrl+" : "", key,
                  (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')
                      ? (std::string(" '") + static_cast<char>(key) + "'").c_str()
                      : "",
                  event.text.c_str());
  } else {
    std::snprintf(text, sizeof text, "%s %04X %" PRIu64 " %" PRId64 " on %s", name, event.message,
                  event.wparam, event.lparam, event.text.c_str());
  }
  return text;
}

// The state a replay can start from: its size, the main thread's timers and the devices open.
std::string StateLine(const RecordedEvent& event) {
  std::string line = "the panel's state (" + std::to_string(event.data.size()) + " bytes)";
  for (const platform::RecordedTimer& timer : event.timers) {
    line += (&timer == &event.timers.front() ? "; " : ", ") +
            TimerText(timer.id, timer.window_class) + " every " +
            std::to_string(timer.interval_ms) + " ms";
  }
  for (const platform::RecordedDevice& device : event.open_devices) {
    line += "; DSK" + std::to_string(device.device) + ": open (" + std::to_string(device.sectors) +
            " sectors)";
  }
  return line;
}

std::string EventLine(PrintState& state, const RecordedEvent& event) {
  const std::string device = "DSK" + std::to_string(event.device) + ":";
  switch (event.kind) {
    case RecordedKind::Open:
      return "open " + device +
             (event.ok ? " (" + std::to_string(event.sector) + " sectors)" : " failed");
    case RecordedKind::Close:
      return "close " + device;
    case RecordedKind::Transfer: {
      std::string line = std::string(event.write ? "write " : "read ") + device + " " +
                         std::to_string(event.sector) + "+" + std::to_string(event.sector_count);
      if (event.write) {
        PrintWrite(event, line);
      } else {
        PrintRead(state, event, line);
      }
      return line;
    }
    case RecordedKind::Input:
      return InputLine(event);
    case RecordedKind::Shown:
      return std::string(event.ok ? "shown " : "hidden ") + event.text;
    case RecordedKind::Raised:
      return "brought forward " + event.text;
    case RecordedKind::Log:
      return "log: " + event.text;
    case RecordedKind::Clock: {
      char text[64];
      std::snprintf(text, sizeof text, "clock %04u-%02u-%02u %02u:%02u", event.time.wYear,
                    event.time.wMonth, event.time.wDay, event.time.wHour, event.time.wMinute);
      return text;
    }
    case RecordedKind::Timer:
      return TimerLine(event);
    case RecordedKind::Wake:
      return "thread " + std::to_string(event.thread) + " ends a sleep";
    case RecordedKind::Message:
      return MessageLine(event);
    case RecordedKind::State:
      return StateLine(event);
    case RecordedKind::Card: {
      std::string line =
          std::string(event.write ? "card file written " : "card file read ") + event.text;
      if (!event.ok) return line + (event.write ? " (failed)" : " (missing)");
      if (event.data.size() != event.moved) {
        return line + " (" + std::to_string(event.moved) + " bytes, not kept)";
      }
      std::string content;
      for (std::uint8_t byte : event.data) {
        content += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
      }
      return line + ": \"" + content.substr(0, 64) + "\"";
    }
  }
  return "";
}

}  // namespace

void PrintRecording(const platform::Recording& recording, std::FILE* out) {
  std::fprintf(out,
               "recording format %u, quelt-panel %s, link devices %s, written on %s, %u minutes "
               "kept in %u KiB; %zu events\n",
               recording.format_version, recording.program_version.c_str(),
               recording.link_devices.c_str(), recording.reason.c_str(), recording.minutes,
               recording.budget_bytes / 1024, recording.events.size());
  if (recording.records_given_up > 0) {
    std::fprintf(out, "%s\n", platform::MidSessionNote(recording).c_str());
  }
  PrintState state{out, recording.start_ms, {}, 0};
  for (const RecordedEvent& event : recording.events) {
    const std::int64_t ms = event.ms - recording.start_ms;
    std::fprintf(out, "%7" PRId64 ".%03d  %s\n", ms / 1000, static_cast<int>(ms % 1000),
                 EventLine(state, event).c_str());
  }
}
