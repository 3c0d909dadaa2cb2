// The soak's driver. Start reading at RunSoak: it starts the program, then repeats one random
// action after another (SoakRun::Act) and checks the invariants after every step of virtual time
// (SoakRun::AfterStep):
//
// - no crash and no sanitizer report (the soak also runs in the sanitizer build);
// - no growth of the platform's live objects (windows, device contexts, bitmaps, fonts, kernel
//   handles, timers) beyond what the running panel holds after start-up, no pile of posted
//   messages, and no growth of the heap from one sample to the next (a sample per virtual hour,
//   or six per run in shorter runs);
// - every packet queued reaches the controller in order, except a third pending one and one whose
//   write failed (PacketLedger);
// - after the device comes back from a fault, the link is up again within the reconnect bound;
// - after every paint and refresh the screen equals the reference rendering (ReferenceScreen),
//   and the panel's pixel matrix equals the one reassembled from the stream;
// - the settings file is absent before the first save and afterwards holds four valid characters,
//   those of the preferences last saved;
// - the state record's fields of a few values stay within them.
#include "tests/soak/soak_run.h"

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>
#include <vector>

#include "app/app_main.h"
#include "app/panel_state.h"
#include "platform/testing.h"
#include "platform/testing_display.h"
#include "resources/panel_resources.h"
#include "sim/in_process.h"
#include "sim/register.h"
#include "tests/soak/soak_observer.h"

extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace fs = std::filesystem;

namespace {

enum class Fault {
  FailedOpens,
  FailedReads,
  ShortReads,
  FailedWrites,
  VanishAndReturn,
  OtherVariant,
  WrongSignature,
  StalledRead,
  StalledThenFailedRead,
};
constexpr int FaultKinds = 9;
const char* const FaultNames[FaultKinds] = {"failed opens",
                                            "failed reads",
                                            "short reads (5118 and 510 bytes)",
                                            "failed writes",
                                            "vanished, back as another DSK name",
                                            "other signature variant",
                                            "wrong signature",
                                            "stalled read",
                                            "stalled read that then failed"};

// Signatures that must not be taken for the controller's.
const std::string WrongSignatures[] = {"vantrel0001",
                                       "VANTREL0003",
                                       "VANTREL000",
                                       "XANTREL0002",
                                       "VANTREL 001",
                                       "",
                                       std::string("VANTREL0\0"
                                                   "01",
                                                   11)};

// The regions of the full panel that the soak aims touches at (inclusive, screen coordinates):
// every button, the indicators, the colour segment, SCREEN, the LCD window, and their seams.
struct Region {
  int left, right, top, bottom;
};
const Region TouchRegions[] = {
    {0, 119, 431, 479},
    {121, 199, 296, 344},
    {201, 299, 296, 344},
    {301, 399, 296, 344},
    {401, 499, 296, 344},
    {501, 599, 296, 344},
    {601, 699, 296, 344},
    {101, 169, 361, 419},
    {16, 99, 361, 419},
    {601, 670, 361, 419},
    {532, 599, 361, 419},
    {171, 239, 361, 419},
    {241, 311, 361, 419},
    {391, 459, 361, 419},
    {461, 530, 361, 419},
    {313, 389, 361, 419},
    {721, 799, 81, 141},
    {721, 799, 143, 224},
    {721, 799, 226, 301},
    {1, 79, 226, 301},
    {1, 79, 81, 141},
    {1, 79, 143, 224},
    {651, 739, 1, 79},
    {546, 644, 1, 79},
    {51, 149, 1, 79},
    {151, 249, 1, 49},
    {251, 349, 1, 49},
    {351, 449, 1, 49},
    {451, 544, 1, 49},
    {350, 350, 1, 49},
    {672, 779, 361, 419},
    {201, 599, 101, 249},
    // The compact view's LCD corner and the rest of that view.
    {471, 799, 351, 479},
    {0, 470, 0, 479},
};

// Key codes the panel acts on.
const std::uint8_t KnownKeys[] = {0x34, 0x35, 0x37, 0x3A, 0x51, 0x52, 0x53, 0x56, 0x81, 0x82, 0x83};

constexpr std::int64_t StepMs = 50;
constexpr std::int64_t HourMs = 3'600'000;
constexpr std::int64_t FaultDeadlineMs = 120'000;
constexpr std::size_t PostedMessageLimit = 100;
constexpr std::size_t HeapGrowthAllowance = 4 << 20;
// The exit corner ends the program; the soak never touches it.
bool InExitCorner(int x, int y) { return x >= 771 && y <= 29; }

// splitmix64: the same numbers from the same seed with every compiler and library.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // first to last, inclusive
  std::int64_t Between(std::int64_t first, std::int64_t last) {
    return first + static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(last - first + 1));
  }
  bool Chance(int percent) { return Between(1, 100) <= percent; }

 private:
  std::uint64_t state_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::size_t HeapInUse() {
  if (__sanitizer_get_current_allocated_bytes) return __sanitizer_get_current_allocated_bytes();
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

std::size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

struct MemorySample {
  std::int64_t ms;
  std::size_t heap, resident;
};

// A fault in progress and what must happen before the device counts as back.
struct ActiveFault {
  bool active = false;
  Fault kind = Fault::FailedReads;
  std::int64_t injected_ms = 0;
  std::uint64_t writes_until = 0;  // the write count at which the fault is used up
  std::int64_t back_ms = 0;        // vanish over, signature restored
  std::int64_t restore_ms = -1;    // when to put the signature right again
};

class SoakRun {
 public:
  explicit SoakRun(const SoakOptions& options)
      : options_(options), random_(options.seed), observer_(&screen_) {}
  SoakReport Run();

 private:
  bool SetUp();
  void TearDown();
  void Advance(std::int64_t ms);
  void AfterStep();
  void Act();
  void Touch(int x, int y, std::int64_t hold_ms, int up_x, int up_y);
  void TouchRegion();
  void SendKey(std::uint8_t code);
  void ChangeClock();
  void InjectFault();
  void FollowFault();
  void CheckPackets();
  void CheckSettingsFile();
  void CheckLinkBound();
  void MeasureRecovery();
  void CheckLiveObjects();
  void CheckStateRanges();
  void SampleMemory();
  void Note(const std::string& text);
  bool PanelShown() const { return IsWindowVisible(Panel.MainWindow) != 0; }
  std::int64_t Now() const { return platform::VirtualNowMs(); }
  std::string Summary(double wall_seconds) const;

  SoakOptions options_;
  Random random_;
  ReferenceScreen screen_;
  SoakObserver observer_;
  std::shared_ptr<sim::Controller> controller_;
  std::string card_;
  std::string settings_path_;
  std::string signature_ = "VANTREL0001";
  bool settings_seen_ = false;
  platform::LiveObjectCounts baseline_{};
  bool baseline_taken_ = false;
  std::vector<MemorySample> samples_;
  std::int64_t sample_period_ms_ = HourMs;
  std::int64_t next_sample_ms_ = 0;
  ActiveFault fault_;
  std::int64_t next_fault_ms_ = std::numeric_limits<std::int64_t>::max();
  std::uint64_t faults_[FaultKinds] = {};
  std::uint64_t touches_ = 0, held_touches_ = 0, keys_ = 0, random_keys_ = 0, clock_changes_ = 0;
  std::uint64_t settings_checks_ = 0, object_checks_ = 0, bound_checks_ = 0;
  std::uint64_t recoveries_seen_ = 0;
  std::int64_t longest_recovery_ms_ = 0;  // from the later of the loss and the device's return
};

void SoakRun::Note(const std::string& text) {
  if (options_.record_trace) platform::TraceEvent("soak " + text);
}

bool SoakRun::SetUp() {
  platform::testing::ForceHeadlessDisplay();
  platform::testing::ClearMessageBoxesShown();
  char folder[] = "/tmp/quelt-soak-card-XXXXXX";
  if (!mkdtemp(folder)) return false;
  card_ = folder;
  settings_path_ = card_ + "/hbSET.DAT";
  const std::string background =
      std::string(QUELT_SOURCE_DIR) + "/resources/storage-card/QUELTIMAGE.bmp";
  fs::copy_file(background, card_ + "/QUELTIMAGE.bmp");
  setenv("QUELT_STORAGE_CARD", card_.c_str(), 1);
  // The one simulated unit answers under whichever name it comes back as.
  setenv("QUELT_LINK_DEVICES", "sim,sim,sim,sim,sim", 1);
  sim::StopInProcessController();
  RegisterSimulatorDevices();
  SetResourceTable(&PanelResources());
  ResetPanelState();

  std::string problem;
  const std::string picture = ReadFile(background);
  if (!screen_.Load(PanelResources(), std::vector<std::uint8_t>(picture.begin(), picture.end()),
                    &problem)) {
    observer_.Fail(problem);
    return false;
  }
  const int year = 2026, month = static_cast<int>(random_.Between(1, 12));
  const int day = static_cast<int>(random_.Between(1, 28)),
            hour = static_cast<int>(random_.Between(0, 23));
  const int minute = static_cast<int>(random_.Between(0, 59)),
            second = static_cast<int>(random_.Between(0, 59));
  screen_.SetLocalTime(MsFromCivil(year, month, day, hour, minute, second));
  if (!platform::StartVirtualRun(platform::LocalTime(year, month, day, hour, minute, second))) {
    observer_.Fail("a virtual run is already active");
    return false;
  }
  platform::SetTraceRecording(options_.record_trace);
  // Started inside the run, so that the unit's clock is the virtual one.
  controller_ = sim::StartInProcessController();
  SetSoakObserver(&observer_);
  platform::StartMainThread([] { return AppMain(nullptr, nullptr, nullptr, SW_SHOW); });
  sample_period_ms_ = std::min(HourMs, std::max<std::int64_t>(options_.virtual_ms / 6, 10'000));
  next_sample_ms_ = sample_period_ms_;
  return true;
}

void SoakRun::TearDown() {
  platform::EndVirtualRun();
  SetSoakObserver(nullptr);
  controller_.reset();
  sim::StopInProcessController();
  std::error_code ignored;
  fs::remove_all(card_, ignored);
}

void SoakRun::Advance(std::int64_t ms) {
  const std::int64_t until = Now() + ms;
  while (!observer_.failed() && Now() < until) {
    platform::AdvanceVirtualTime(std::min(StepMs, until - Now()));
    AfterStep();
  }
}

void SoakRun::AfterStep() {
  if (observer_.failed()) return;
  CheckPackets();
  CheckSettingsFile();
  CheckLinkBound();
  CheckLiveObjects();
  CheckStateRanges();
  FollowFault();
  MeasureRecovery();
  if (Now() >= next_sample_ms_) {
    SampleMemory();
    next_sample_ms_ += sample_period_ms_;
  }
}

void SoakRun::CheckPackets() {
  std::string problem;
  for (const sim::ReceivedPacket& received : controller_->TakePackets()) {
    WirePacket packet;
    std::copy(received.bytes.begin(), received.bytes.end(), packet.begin());
    if (!observer_.ledger().Receive(packet, &problem)) {
      observer_.Fail(problem);
      return;
    }
  }
}

void SoakRun::CheckSettingsFile() {
  ++settings_checks_;
  struct stat info;
  if (stat(settings_path_.c_str(), &info) != 0) {
    if (settings_seen_) observer_.Fail("the settings file is gone");
    return;
  }
  settings_seen_ = true;
  const std::string text = ReadFile(settings_path_);
  const bool valid = text.size() == 4 && (text[0] == 'U' || text[0] == '_') &&
                     (text[1] == 'A' || text[1] == '_') && text[2] >= '0' && text[2] <= '4' &&
                     (text[3] == '0' || text[3] == '1');
  if (!valid) {
    observer_.Fail("the settings file holds \"" + text + "\"");
    return;
  }
  const std::string saved = {Panel.SavedUsbFlag ? 'U' : '_', Panel.SavedAuxFlag ? 'A' : '_',
                             static_cast<char>('0' + Panel.SavedLcdColourIndex),
                             static_cast<char>('0' + Panel.SavedLcdFillStyle)};
  if (text != saved) {
    observer_.Fail("the settings file holds \"" + text + "\", the preferences last saved \"" +
                   saved + "\"");
  }
}

// Probes every 200 ms; once more than 30 probes have failed in the thread's life, one probe per
// poll tick, with the reconnect's two pauses of 200 ms and the tick's interval (at most 200 ms)
// between. A failed write is noticed at the next tick, at most 200 ms later, and its reconnect
// pauses 200 ms before the first probe.
void SoakRun::CheckLinkBound() {
  const LinkWatch& link = observer_.link();
  if (link.up || observer_.device_back_ms < 0) return;
  ++bound_checks_;
  const std::int64_t probe_interval = Panel.FailedProbeCount > 30 ? 600 : 200;
  const std::int64_t deadline =
      std::max(link.down_since_ms + 400, observer_.device_back_ms + probe_interval);
  if (Now() <= deadline) return;
  observer_.Fail("the link is not up again: lost at " + std::to_string(link.down_since_ms) +
                 " ms, the device back at " + std::to_string(observer_.device_back_ms) +
                 " ms, failed probes " + std::to_string(Panel.FailedProbeCount) +
                 ", so it was due by " + std::to_string(deadline) + " ms");
}

void SoakRun::MeasureRecovery() {
  const LinkWatch& link = observer_.link();
  if (link.recoveries == recoveries_seen_) return;
  recoveries_seen_ = link.recoveries;
  const std::int64_t since = std::max(link.down_since_ms, observer_.device_back_ms);
  longest_recovery_ms_ = std::max(longest_recovery_ms_, link.up_since_ms - since);
}

void SoakRun::CheckLiveObjects() {
  const platform::LiveObjectCounts counts = platform::CountLiveObjects();
  if (counts.posted_messages > PostedMessageLimit) {
    observer_.Fail(std::to_string(counts.posted_messages) + " messages wait in the queues");
    return;
  }
  if (!baseline_taken_) return;
  ++object_checks_;
  const struct {
    const char* what;
    std::size_t now, limit;
  } kinds[] = {
      {"windows", counts.windows, baseline_.windows},
      // A touch that switches the view sleeps inside its handler, holding the window's context.
      {"device contexts", counts.device_contexts, baseline_.device_contexts + 1},
      {"bitmaps", counts.bitmaps, baseline_.bitmaps},
      {"fonts", counts.fonts, baseline_.fonts},
      // The link device is open or, between a failure and the next probe, not.
      {"kernel handles", counts.kernel_handles, baseline_.kernel_handles},
      // The touch repeat runs only while a finger is down.
      {"timers", counts.timers, baseline_.timers + 1},
  };
  for (const auto& kind : kinds) {
    if (kind.now <= kind.limit) continue;
    observer_.Fail(std::to_string(kind.now) + " " + kind.what + " live, " +
                   std::to_string(kind.limit) + " at most");
    return;
  }
}

// The state record's fields that take a few values only.
void SoakRun::CheckStateRanges() {
  const auto among = [](long value, long first, long last) {
    return value >= first && value <= last;
  };
  const struct {
    const char* field;
    long value, first, last;
  } fields[] = {
      {"PanelMode", Panel.PanelMode, 0, 1},
      {"ButtonId", Panel.ButtonId, 0, 29},
      {"LcdColourIndex", Panel.LcdColourIndex, 0, 4},
      {"LcdFillStyle", Panel.LcdFillStyle, 0, 1},
      {"UsbFlag", Panel.UsbFlag, 0, 1},
      {"AuxFlag", Panel.AuxFlag, 0, 1},
      {"HeartbeatCount", static_cast<long>(Panel.HeartbeatCount), 0, 10},
      {"StreamMode", Panel.StreamMode.load(), 0, 1},
      {"LinkVariant", Panel.LinkVariant.load(), 0, 1},
  };
  for (const auto& field : fields) {
    if (among(field.value, field.first, field.last)) continue;
    observer_.Fail(std::string(field.field) + " is " + std::to_string(field.value));
    return;
  }
}

void SoakRun::SampleMemory() {
  samples_.push_back({Now(), HeapInUse(), ResidentBytes()});
  if (options_.report_progress) {
    std::fprintf(stderr, "soak: seed %llu, %.2f virtual hours, heap %zu bytes\n",
                 static_cast<unsigned long long>(options_.seed), Now() / 3'600'000.0,
                 samples_.back().heap);
  }
  // The first sample may still see caches filling (fonts, glyphs); from there on the heap holds.
  if (samples_.size() < 2) return;
  const MemorySample& first = samples_[0];
  const MemorySample& last = samples_.back();
  if (last.heap > first.heap + HeapGrowthAllowance) {
    observer_.Fail("the heap grew from " + std::to_string(first.heap) + " bytes at " +
                   std::to_string(first.ms) + " ms to " + std::to_string(last.heap) + " bytes");
  }
}

void SoakRun::Touch(int x, int y, std::int64_t hold_ms, int up_x, int up_y) {
  if (!PanelShown() || InExitCorner(x, y)) return;
  ++touches_;
  if (hold_ms > 270) ++held_touches_;
  Note("pen down " + std::to_string(x) + " " + std::to_string(y) + " held " +
       std::to_string(hold_ms));
  const bool on_screen = x >= 0 && x < 800 && y >= 0 && y < 480;
  if (on_screen) {
    platform::testing::InjectPen(platform::testing::Pen::Down, x, y);
  } else {
    PostMessageW(Panel.MainWindow, WM_LBUTTONDOWN, 0, MAKELPARAM(x, y));
  }
  Advance(hold_ms);
  if (up_x >= 0 && up_x < 800 && up_y >= 0 && up_y < 480) {
    platform::testing::InjectPen(platform::testing::Pen::Up, up_x, up_y);
  } else if (PanelShown()) {
    PostMessageW(Panel.MainWindow, WM_LBUTTONUP, 0, MAKELPARAM(up_x, up_y));
  }
}

void SoakRun::TouchRegion() {
  const Region& region = TouchRegions[random_.Between(0, std::size(TouchRegions) - 1)];
  const int x = static_cast<int>(random_.Between(region.left, region.right));
  const int y = static_cast<int>(random_.Between(region.top, region.bottom));
  const int length = static_cast<int>(random_.Between(1, 100));
  const std::int64_t hold = length <= 60   ? random_.Between(20, 260)
                            : length <= 90 ? random_.Between(261, 1300)
                                           : random_.Between(1301, 4000);
  Touch(x, y, hold, x, y);
}

void SoakRun::SendKey(std::uint8_t code) {
  ++keys_;
  Note("key " + std::to_string(code));
  controller_->QueueKey(code);
}

void SoakRun::ChangeClock() {
  ++clock_changes_;
  const int month = static_cast<int>(random_.Between(1, 12)),
            day = static_cast<int>(random_.Between(1, 28));
  const int hour = static_cast<int>(random_.Between(0, 23)),
            minute = static_cast<int>(random_.Between(0, 59));
  Note("clock " + std::to_string(month) + "-" + std::to_string(day) + " " + std::to_string(hour) +
       ":" + std::to_string(minute));
  platform::SetVirtualLocalTime(platform::LocalTime(2026, month, day, hour, minute, 0));
  screen_.SetLocalTime(MsFromCivil(2026, month, day, hour, minute, 0) - Now());
}

void SoakRun::Act() {
  if (!PanelShown() && random_.Chance(40)) {
    SendKey(random_.Chance(70) ? 0x53 : 0x82);
    Advance(random_.Between(50, 600));
    return;
  }
  const int pick = static_cast<int>(random_.Between(1, 100));
  if (pick <= 36) {
    TouchRegion();
  } else if (pick <= 46) {
    const int x = static_cast<int>(random_.Between(0, 799)),
              y = static_cast<int>(random_.Between(0, 479));
    Touch(x, y, random_.Between(10, 1500), x, y);
  } else if (pick <= 50) {
    // Anywhere in the 16-bit range the display might report, beyond the screen too.
    const int x = static_cast<int>(random_.Between(0, 65535)),
              y = static_cast<int>(random_.Between(0, 65535));
    Touch(x, y, random_.Between(10, 800), static_cast<int>(random_.Between(0, 65535)),
          static_cast<int>(random_.Between(0, 65535)));
  } else if (pick <= 54) {
    // Down on one spot, up on another.
    Touch(static_cast<int>(random_.Between(0, 799)), static_cast<int>(random_.Between(0, 479)),
          random_.Between(10, 1500), static_cast<int>(random_.Between(0, 799)),
          static_cast<int>(random_.Between(0, 479)));
  } else if (pick <= 72) {
    SendKey(KnownKeys[random_.Between(0, std::size(KnownKeys) - 1)]);
  } else if (pick <= 77) {
    ++random_keys_;
    SendKey(static_cast<std::uint8_t>(random_.Between(1, 255)));
  } else if (pick <= 78) {
    ChangeClock();
  }
  Advance(random_.Between(20, 1500));
}

void SoakRun::InjectFault() {
  const Fault kind = static_cast<Fault>(random_.Between(0, FaultKinds - 1));
  const TransferCounts& counts = observer_.transfers();
  fault_ = ActiveFault{};
  fault_.active = true;
  fault_.kind = kind;
  fault_.injected_ms = Now();
  fault_.writes_until = counts.writes;
  fault_.back_ms = Now();
  std::uint64_t opens_until = counts.opens;
  std::uint64_t reads_until = counts.reads;
  ++faults_[static_cast<int>(kind)];
  std::string detail;
  // Faults that wait for an open or a read start with one failed read, so that the link
  // reconnects and meets them.
  switch (kind) {
    case Fault::FailedOpens: {
      const std::uint32_t opens = static_cast<std::uint32_t>(random_.Between(1, 40));
      controller_->FailNextReads(1);
      controller_->FailNextOpens(opens);
      reads_until += 1;
      opens_until += opens;
      detail = std::to_string(opens);
      break;
    }
    case Fault::FailedReads: {
      const std::uint32_t reads = static_cast<std::uint32_t>(random_.Between(1, 12));
      controller_->FailNextReads(reads);
      reads_until += reads;
      detail = std::to_string(reads);
      break;
    }
    case Fault::ShortReads: {
      // Two bytes short: 5118 of a stream read, 510 of a status read.
      const std::uint32_t reads = static_cast<std::uint32_t>(random_.Between(1, 12));
      controller_->ShortNextReads(reads, 2);
      reads_until += reads;
      detail = std::to_string(reads);
      break;
    }
    case Fault::FailedWrites: {
      const std::uint32_t writes = static_cast<std::uint32_t>(random_.Between(1, 4));
      controller_->FailNextWrites(writes);
      fault_.writes_until += writes;
      detail = std::to_string(writes);
      break;
    }
    case Fault::VanishAndReturn: {
      const std::uint32_t gone_ms = static_cast<std::uint32_t>(random_.Between(100, 12'000));
      const int as = static_cast<int>(random_.Between(1, 5));
      controller_->VanishFor(gone_ms, as);
      fault_.back_ms = Now() + gone_ms;
      detail = std::to_string(gone_ms) + " ms, back as DSK" + std::to_string(as);
      break;
    }
    case Fault::OtherVariant:
      signature_ = signature_ == "VANTREL0001" ? "VANTREL0002" : "VANTREL0001";
      controller_->SetSignature(signature_);
      controller_->FailNextReads(1);
      reads_until += 1;
      detail = signature_;
      break;
    case Fault::WrongSignature: {
      controller_->SetSignature(
          WrongSignatures[random_.Between(0, std::size(WrongSignatures) - 1)]);
      controller_->FailNextReads(1);
      reads_until += 1;
      fault_.restore_ms = Now() + random_.Between(100, 15'000);
      fault_.back_ms = -1;
      detail = "until " + std::to_string(fault_.restore_ms) + " ms";
      break;
    }
    case Fault::StalledRead:
    case Fault::StalledThenFailedRead: {
      const std::uint32_t stall_ms = static_cast<std::uint32_t>(random_.Between(60, 5000));
      controller_->StallNextRead(stall_ms);
      if (kind == Fault::StalledThenFailedRead) controller_->FailNextReads(1);
      reads_until += 1;
      detail = std::to_string(stall_ms) + " ms";
      break;
    }
  }
  Note(std::string("fault ") + FaultNames[static_cast<int>(kind)] + " " + detail);
  observer_.AwaitTransfers(opens_until, reads_until);
  observer_.device_back_ms = -1;
}

// The device counts as back once every transfer the fault waits for has happened and its time is
// up; the fault is over once the link is up again, and the next one follows a while later.
void SoakRun::FollowFault() {
  if (!fault_.active) {
    if (Now() >= next_fault_ms_ && observer_.link().up) InjectFault();
    return;
  }
  if (fault_.restore_ms >= 0 && Now() >= fault_.restore_ms) {
    controller_->SetSignature(signature_);
    fault_.back_ms = Now();
    fault_.restore_ms = -1;
  }
  const TransferCounts& counts = observer_.transfers();
  const bool reachable =
      counts.reads_reached_ms >= 0 && counts.opens_reached_ms >= 0 && fault_.back_ms >= 0;
  if (reachable && observer_.device_back_ms < 0) {
    observer_.device_back_ms =
        std::max({fault_.back_ms, counts.reads_reached_ms, counts.opens_reached_ms});
  }
  const bool used_up = reachable && counts.writes >= fault_.writes_until;
  if (used_up && observer_.link().up && Now() >= fault_.back_ms) {
    fault_.active = false;
    next_fault_ms_ = Now() + random_.Between(500, 20'000);
    return;
  }
  if (Now() - fault_.injected_ms > FaultDeadlineMs) {
    observer_.Fail(std::string("the fault \"") + FaultNames[static_cast<int>(fault_.kind)] +
                   "\" injected at " + std::to_string(fault_.injected_ms) +
                   " ms is not over after " + std::to_string(FaultDeadlineMs) + " ms");
  }
}

std::string SoakRun::Summary(double wall_seconds) const {
  std::ostringstream text;
  const PacketLedgerCounts& packets = observer_.ledger().counts();
  const CheckCounts& checks = observer_.checks();
  const LinkWatch& link = observer_.link();
  text << "soak: seed " << options_.seed << ", " << Now() / 1000.0 / 3600.0 << " virtual hours in "
       << wall_seconds << " s\n";
  text << "  faults injected:";
  std::uint64_t total = 0;
  for (int kind = 0; kind < FaultKinds; ++kind) {
    text << (kind ? ", " : " ") << FaultNames[kind] << " " << faults_[kind];
    total += faults_[kind];
  }
  text << " (" << total << " in all)\n";
  text << "  driven: " << touches_ << " touches (" << held_touches_ << " held past a repeat), "
       << keys_ << " key codes (" << random_keys_ << " random), " << clock_changes_
       << " clock changes\n";
  text << "  checked: " << checks.screens_after_refresh << " screens after a refresh, "
       << checks.screens_after_paint << " after a paint, " << checks.matrices
       << " pixel matrices; packets " << packets.queued << " queued, " << packets.dropped
       << " dropped as third pending, " << packets.lost << " lost to failed writes, "
       << packets.received << " received in order; " << checks.stream_reads << " stream and "
       << checks.status_reads << " status reads good, " << checks.failed_reads
       << " failed or short; " << link.recoveries << " link recoveries (longest "
       << longest_recovery_ms_ << " ms after the device was back), " << bound_checks_
       << " reconnect-bound checks; " << settings_checks_ << " settings file checks; "
       << object_checks_ << " platform object counts\n";
  text << "  memory samples (virtual ms: heap bytes, resident bytes):";
  for (const MemorySample& sample : samples_) {
    text << " " << sample.ms << ": " << sample.heap << ", " << sample.resident << ";";
  }
  text << "\n";
  return text.str();
}

SoakReport SoakRun::Run() {
  const auto wall_start = std::chrono::steady_clock::now();
  SoakReport report;
  if (SetUp()) {
    // Start-up, and the controller's show key after the start-up packets.
    for (int step = 0; step < 200 && !PanelShown() && !observer_.failed(); ++step) Advance(StepMs);
    if (!PanelShown()) observer_.Fail("the panel did not come on screen after start-up");
    Advance(2000);
    baseline_ = platform::CountLiveObjects();
    baseline_taken_ = true;
    next_fault_ms_ = Now() + random_.Between(500, 5000);
    while (!observer_.failed() && Now() < options_.virtual_ms) Act();
    if (!observer_.failed()) SampleMemory();
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  report.virtual_ms = Now();
  report.passed = !observer_.failed();
  if (!report.passed) {
    report.failure = "seed " + std::to_string(options_.seed) + ", " + observer_.failure();
  }
  report.summary = Summary(wall);
  for (std::uint64_t count : faults_) report.faults_injected += count;
  if (options_.record_trace) report.trace = platform::FormatTrace(platform::VirtualTrace());
  TearDown();
  return report;
}

}  // namespace

SoakReport RunSoak(const SoakOptions& options) {
  SoakRun run(options);
  return run.Run();
}
