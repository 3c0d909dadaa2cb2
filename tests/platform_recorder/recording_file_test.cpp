// The recorder and the reader together: what a program does at its edges comes back from the
// file event by event; a file that is not a recording, of a newer format or damaged is refused
// with the offset and what was expected, one of the first format is read but not replayed; a torn
// tail is read up to its last whole record; the ring keeps the newest minutes within its budget; a
// lost link and a crash each leave a file, also a stack overflow on a thread the program started.
#include "platform/recording_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/flight_recorder.h"
#include "platform/replay.h"
#include "platform/win32.h"
#include "tests/platform_devices/sector_transfer.h"
#include "tests/platform_recorder/memory_device.h"

namespace {

namespace fs = std::filesystem;
using platform::RecordedKind;
using recorder_test::Memory;

// A window whose timer the tests dispatch.
HWND TimerWindow() {
  static const HWND window = [] {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.lpszClassName = W("RecorderTimerWindow");
    RegisterClassW(&window_class);
    return CreateWindowExW(0, W("RecorderTimerWindow"), W(""), WS_POPUP, 0, 0, 1, 1, nullptr,
                           nullptr, nullptr, nullptr);
  }();
  return window;
}

class RecordingFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/quelt-recorder-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = folder;
    recorder_test::RegisterMemoryDevice();
    Memory().failing = false;
    setenv("QUELT_LINK_DEVICES", "memory", 1);
  }
  void TearDown() override {
    platform::StopFlightRecorder();
    fs::remove_all(folder_);
  }

  void StartRecorder(int minutes = 10) {
    platform::FlightRecorderSettings settings;
    settings.minutes = minutes;
    settings.folder = folder_;
    settings.version = "9.8.7";
    ASSERT_TRUE(platform::StartFlightRecorderWith(settings));
  }

  HANDLE OpenDevice() { return OpenLinkDevice("memory", 1); }

  BOOL Transfer(HANDLE device, DWORD code, DWORD sector, DWORD count, std::uint8_t* buffer) {
    return TransferSectors(device, code, sector, count, buffer).done;
  }

  // Reads of ten sectors whose content changes every time and does not compress.
  void NoisyReads(HANDLE device, int count, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> buffer(10 * 512);
    for (int i = 0; i < count; ++i) {
      for (std::size_t at = 0; at < 10 * 512; ++at) {
        Memory().bytes[at] = static_cast<std::uint8_t>(random());
      }
      Transfer(device, DISK_IOCTL_READ, 0, 10, buffer.data());
    }
  }

  std::vector<std::uint8_t> SavedBytes() {
    const std::string path = platform::SaveFlightRecording("request");
    EXPECT_FALSE(path.empty());
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
  }

  std::vector<fs::path> FilesEndingWith(const std::string& suffix) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      const std::string name = entry.path().filename();
      if (name.size() > suffix.size() &&
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
        found.push_back(entry.path());
      }
    }
    return found;
  }

  // The one crash recording of the folder, read; empty (and the test failed) when there is none.
  platform::Recording OnlyCrashRecording() {
    const std::vector<fs::path> files = FilesEndingWith("-crash.qrec");
    platform::Recording recording;
    std::string error;
    EXPECT_EQ(files.size(), 1u);
    if (files.size() == 1) {
      EXPECT_TRUE(platform::ReadRecordingFile(files[0], &recording, &error)) << error;
    }
    return recording;
  }

  std::string folder_;
};

TEST_F(RecordingFileTest, EdgesComeBackEventByEvent) {
  StartRecorder();
  const HANDLE device = OpenDevice();
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::uint8_t sector[512] = {};
  Memory().bytes[3 * 512 + 7] = 0x5A;
  ASSERT_TRUE(Transfer(device, DISK_IOCTL_READ, 3, 1, sector));
  ASSERT_TRUE(Transfer(device, DISK_IOCTL_READ, 3, 1, sector));  // kept as "the same again"
  std::uint8_t packet[512] = {0xA5, 0xE3, 0x30};
  ASSERT_TRUE(Transfer(device, DISK_IOCTL_WRITE, 9, 1, packet));
  Memory().failing = true;
  EXPECT_FALSE(Transfer(device, DISK_IOCTL_READ, 3, 1, sector));
  OutputDebugStringW(W("link found on DSK1: (variant 2)\n"));
  SYSTEMTIME now;
  GetLocalTime(&now);
  GetLocalTime(&now);  // the same minute: not kept twice
  CloseHandle(device);
  const MSG tick{TimerWindow(), WM_TIMER, 7, 0, 0, POINT{0, 0}};
  DispatchMessageW(&tick);
  Sleep(1);  // this thread was not started by CreateThread: number 0

  platform::Recording recording;
  std::string error;
  const std::vector<std::uint8_t> file = SavedBytes();
  ASSERT_TRUE(platform::ReadRecording(file.data(), file.size(), &recording, &error)) << error;
  EXPECT_EQ(recording.program_version, "9.8.7");
  EXPECT_EQ(recording.reason, "request");
  EXPECT_EQ(recording.link_devices, "DSK1=memory");
  EXPECT_EQ(recording.minutes, 10u);
  EXPECT_TRUE(recording.truncated.empty());
  EXPECT_TRUE(recording.replayable);
  EXPECT_EQ(recording.records_given_up, 0u);

  const auto& events = recording.events;
  ASSERT_EQ(events.size(), 10u);
  EXPECT_EQ(events[0].kind, RecordedKind::Open);
  EXPECT_TRUE(events[0].ok);
  EXPECT_EQ(events[0].sector, recorder_test::MemorySectors);
  for (int read : {1, 2}) {
    EXPECT_EQ(events[read].kind, RecordedKind::Transfer);
    EXPECT_FALSE(events[read].write);
    EXPECT_EQ(events[read].sector, 3u);
    ASSERT_EQ(events[read].data.size(), 512u) << "read " << read;
    EXPECT_EQ(events[read].data[7], 0x5A) << "read " << read;
  }
  EXPECT_TRUE(events[3].write);
  EXPECT_EQ(events[3].sector, 9u);
  EXPECT_EQ(std::vector<std::uint8_t>(events[3].data.begin(), events[3].data.begin() + 3),
            (std::vector<std::uint8_t>{0xA5, 0xE3, 0x30}));
  EXPECT_FALSE(events[4].ok);
  EXPECT_EQ(events[4].moved, 0u);
  EXPECT_EQ(events[5].kind, RecordedKind::Log);
  EXPECT_EQ(events[5].text, "link found on DSK1: (variant 2)");
  EXPECT_EQ(events[6].kind, RecordedKind::Clock);
  EXPECT_EQ(events[6].time.wMinute, now.wMinute);
  EXPECT_EQ(events[7].kind, RecordedKind::Close);
  EXPECT_EQ(events[8].kind, RecordedKind::Timer);
  EXPECT_EQ(events[8].text, "RecorderTimerWindow");
  EXPECT_EQ(events[8].wparam, 7u);
  EXPECT_EQ(events[9].kind, RecordedKind::Wake);
  EXPECT_EQ(events[9].thread, 0);
  for (std::size_t i = 1; i < events.size(); ++i) EXPECT_GE(events[i].ms, events[i - 1].ms);
}

// Damage done to a good file with two or more records, and what the reader says.
struct Damage {
  const char* name;
  void (*apply)(std::vector<std::uint8_t>& file);
  const char* refusal;  // "" when the file is read
  bool truncated;
};

void SetVersion(std::vector<std::uint8_t>& file, std::uint16_t version);

const Damage Damages[] = {
    {"empty", [](std::vector<std::uint8_t>& file) { file.clear(); },
     "offset 0: expected \"QUELTREC\"", false},
    {"a picture", [](std::vector<std::uint8_t>& file) { file = {0x89, 'P', 'N', 'G', 13, 10}; },
     "offset 0: expected \"QUELTREC\"", false},
    {"newer format", [](std::vector<std::uint8_t>& file) { SetVersion(file, 4); },
     "offset 8: expected format version 1 to 3, found 4", false},
    {"header damaged", [](std::vector<std::uint8_t>& file) { file[70] ^= 1; },
     "offset 124: expected the header's check value", false},
    {"header cut", [](std::vector<std::uint8_t>& file) { file.resize(100); },
     "offset 100: expected a header of 128 bytes", false},
    {"first record damaged", [](std::vector<std::uint8_t>& file) { file[128 + 40] ^= 0x10; },
     "offset 128: expected the record's check value", false},
    {"garbage after the header", [](std::vector<std::uint8_t>& file) { file[128] = 'X'; },
     "offset 128: expected a record", false},
    {"last record cut", [](std::vector<std::uint8_t>& file) { file.resize(file.size() - 9); }, "",
     true},
    {"last record's check value wrong", [](std::vector<std::uint8_t>& file) { file.back() ^= 1; },
     "", true},
    {"first record cut", [](std::vector<std::uint8_t>& file) { file.resize(128 + 30); }, "", true},
};

TEST_F(RecordingFileTest, DamagedFilesAreRefusedAndTornTailsRead) {
  StartRecorder();
  const HANDLE device = OpenDevice();
  NoisyReads(device, 40, 1);  // 200 KiB that do not compress: two records at least
  CloseHandle(device);
  const std::vector<std::uint8_t> good = SavedBytes();
  platform::Recording whole;
  std::string error;
  ASSERT_TRUE(platform::ReadRecording(good.data(), good.size(), &whole, &error)) << error;
  ASSERT_EQ(whole.events.size(), 42u);

  for (const Damage& damage : Damages) {
    std::vector<std::uint8_t> file = good;
    damage.apply(file);
    platform::Recording recording;
    error.clear();
    const bool read = platform::ReadRecording(file.data(), file.size(), &recording, &error);
    if (*damage.refusal) {
      EXPECT_FALSE(read) << damage.name;
      EXPECT_EQ(error.rfind(damage.refusal, 0), 0u) << damage.name << ": " << error;
      continue;
    }
    ASSERT_TRUE(read) << damage.name << ": " << error;
    EXPECT_EQ(!recording.truncated.empty(), damage.truncated) << damage.name;
    EXPECT_LT(recording.events.size(), whole.events.size()) << damage.name;
    for (std::size_t i = 0; i < recording.events.size(); ++i) {
      EXPECT_EQ(recording.events[i].data, whole.events[i].data) << damage.name << " event " << i;
    }
  }
}

// A file of the first format has no timers and wakes: it is read, but marked as not replayable.
TEST_F(RecordingFileTest, FirstFormatIsReadButNotReplayable) {
  StartRecorder();
  OutputDebugStringW(W("from an older panel"));
  std::vector<std::uint8_t> file = SavedBytes();
  SetVersion(file, 1);
  const uLong check = crc32(0, file.data(), 124);
  for (int i = 0; i < 4; ++i) file[124 + i] = static_cast<std::uint8_t>(check >> (8 * i));
  platform::Recording recording;
  std::string error;
  ASSERT_TRUE(platform::ReadRecording(file.data(), file.size(), &recording, &error)) << error;
  EXPECT_EQ(recording.format_version, 1u);
  EXPECT_FALSE(recording.replayable);
  ASSERT_EQ(recording.events.size(), 1u);
  const platform::ReplayResult result = platform::ReplayRecording(
      recording, [] { return 0; }, platform::ReplayOptions{});
  EXPECT_TRUE(result.differs);
  EXPECT_NE(result.difference.find("format 1"), std::string::npos) << result.difference;
}

TEST_F(RecordingFileTest, RingKeepsTheNewestWithinItsBudget) {
  StartRecorder(1);  // 400 KiB
  const HANDLE device = OpenDevice();
  NoisyReads(device, 400, 2);  // 2 MB that do not compress
  const std::size_t memory = platform::FlightRecorderMemoryBytes();
  NoisyReads(device, 400, 3);
  EXPECT_EQ(platform::FlightRecorderMemoryBytes(), memory) << "grew while recording";
  EXPECT_LE(platform::FlightRecorderKeptBytes(), 400u * 1024);
  std::vector<std::uint8_t> last(10 * 512);
  for (std::size_t at = 0; at < last.size(); ++at)
    Memory().bytes[at] = static_cast<std::uint8_t>(at);
  Transfer(device, DISK_IOCTL_READ, 0, 10, last.data());

  const std::vector<std::uint8_t> file = SavedBytes();
  EXPECT_LE(file.size(), 400u * 1024 + 128 + 64 * 1024);
  platform::Recording recording;
  std::string error;
  ASSERT_TRUE(platform::ReadRecording(file.data(), file.size(), &recording, &error)) << error;
  ASSERT_FALSE(recording.events.empty());
  EXPECT_GT(recording.events.size(), 40u);
  EXPECT_LT(recording.events.size(), 200u);
  EXPECT_NE(recording.events.front().kind, RecordedKind::Open) << "the oldest was kept";
  EXPECT_EQ(recording.events.back().data, last);
  // It starts mid-session and keeps no program state (nothing here asked for one): a replay could
  // compare nothing, and says so.
  EXPECT_GT(recording.records_given_up, 0u);
  const platform::ReplayResult result = platform::ReplayRecording(
      recording, [] { return 0; }, platform::ReplayOptions{});
  EXPECT_TRUE(result.differs);
  EXPECT_NE(result.difference.find("starts mid-session"), std::string::npos) << result.difference;
}

TEST_F(RecordingFileTest, LostLinkWritesARecordingAndTheFolderKeepsEight) {
  StartRecorder();
  const HANDLE device = OpenDevice();
  std::uint8_t sector[512];
  for (int loss = 0; loss < 10; ++loss) {
    Memory().failing = false;
    ASSERT_TRUE(Transfer(device, DISK_IOCTL_READ, 1, 1, sector));
    const int written = platform::FlightRecordingsWritten();
    Memory().failing = true;
    Transfer(device, DISK_IOCTL_READ, 1, 1, sector);
    Transfer(device, DISK_IOCTL_READ, 1, 1, sector);  // still lost: no second file
    // The recorder's own thread writes it; wait for it without a limit on how fast.
    for (int wait = 0; wait < 3000 && platform::FlightRecordingsWritten() == written; ++wait) {
      Sleep(10);
    }
    ASSERT_EQ(platform::FlightRecordingsWritten(), written + 1) << "loss " << loss;
  }
  CloseHandle(device);
  EXPECT_EQ(FilesEndingWith("-link-lost.qrec").size(), 8u);
  EXPECT_TRUE(FilesEndingWith(".tmp").empty());
}

TEST_F(RecordingFileTest, SignalAsksTheRecordersThreadForAFile) {
  StartRecorder();
  OutputDebugStringW(W("asked for"));
  const int written = platform::FlightRecordingsWritten();
  raise(SIGUSR1);
  for (int wait = 0; wait < 3000 && platform::FlightRecordingsWritten() == written; ++wait) {
    Sleep(10);
  }
  const std::vector<fs::path> files = FilesEndingWith("-request.qrec");
  ASSERT_EQ(files.size(), 1u);
  platform::Recording recording;
  std::string error;
  ASSERT_TRUE(platform::ReadRecordingFile(files[0], &recording, &error)) << error;
  ASSERT_EQ(recording.events.size(), 1u);
  EXPECT_EQ(recording.events[0].text, "asked for");
}

// A fault planted for the test: the child process records, then dies of SIGSEGV.
void RecordAndCrash(const std::string& folder) {
  platform::FlightRecorderSettings settings;
  settings.folder = folder;
  platform::StartFlightRecorderWith(settings);
  const HANDLE device = OpenLinkDevice("memory", 1);
  std::vector<std::uint8_t> buffer(10 * 512);
  for (int i = 0; i < 60; ++i) {  // more than one block
    Memory().bytes[0] = static_cast<std::uint8_t>(i);
    std::mt19937 random(i);
    for (std::size_t at = 1; at < buffer.size(); ++at) Memory().bytes[at] = random() & 0xFF;
    ReadSectors(device, 0, 10, buffer.data());
  }
  OutputDebugStringW(W("last words"));
  raise(SIGSEGV);
}

// The recorder hands the signal on to the handler before it: none, or a sanitizer's, which
// reports the crash and exits with a failure instead.
bool DiedOfTheCrash(int status) {
  return (WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) ||
         (WIFEXITED(status) && WEXITSTATUS(status) != 0);
}

TEST_F(RecordingFileTest, CrashLeavesARecordingReadToItsLastRecord) {
  // Forked, so the child writes into this test's folder.
  ::testing::FLAGS_gtest_death_test_style = "fast";
  EXPECT_EXIT(RecordAndCrash(folder_), DiedOfTheCrash, "");
  const platform::Recording recording = OnlyCrashRecording();
  EXPECT_EQ(recording.reason, "crash");
  EXPECT_TRUE(recording.truncated.empty()) << recording.truncated;
  ASSERT_EQ(recording.events.size(), 62u);
  for (int i = 0; i < 60; ++i) EXPECT_EQ(recording.events[1 + i].data.at(0), i);
  EXPECT_EQ(recording.events.back().text, "last words");
  EXPECT_TRUE(FilesEndingWith(".tmp").empty());
}

// ThreadSanitizer lets no thread start in a child forked from a process that has threads, as
// this one has (the recorder's).
#if defined(__SANITIZE_THREAD__)
#define QUELT_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUELT_THREAD_SANITIZER 1
#endif
#endif

// Runs its thread's stack out: each frame waits for a deeper one.
DWORD RunStackOut(LPVOID depth) {
  volatile std::uint8_t frame[1024];
  const auto level = reinterpret_cast<std::uintptr_t>(depth);
  frame[0] = static_cast<std::uint8_t>(level);
  if (level > (std::uintptr_t{1} << 40)) return frame[0];
  return RunStackOut(reinterpret_cast<LPVOID>(level + 1)) + frame[0];
}

// The child records, then a thread it started overflows its stack: the handler can only run on
// that thread's own alternate stack.
void RecordAndOverflowAnotherThread(const std::string& folder) {
  platform::FlightRecorderSettings settings;
  settings.folder = folder;
  platform::StartFlightRecorderWith(settings);
  OutputDebugStringW(W("before the overflow"));
  CreateThread(nullptr, 0, RunStackOut, nullptr, 0, nullptr);
  for (;;) pause();
}

TEST_F(RecordingFileTest, StackOverflowOnAnotherThreadLeavesARecording) {
#ifdef QUELT_THREAD_SANITIZER
  GTEST_SKIP() << "ThreadSanitizer starts no thread in a forked child of a threaded process";
#endif
  ::testing::FLAGS_gtest_death_test_style = "fast";
  EXPECT_EXIT(RecordAndOverflowAnotherThread(folder_), DiedOfTheCrash, "");
  const platform::Recording recording = OnlyCrashRecording();
  ASSERT_FALSE(recording.events.empty());
  EXPECT_EQ(recording.events.back().text, "before the overflow");
}

// The card as a failed save must leave it: an older recording and the settings file, as they were.
class FailedSaveTest : public RecordingFileTest {
 protected:
  void SetUp() override {
    RecordingFileTest::SetUp();
    std::ofstream(folder_ + "/" + OlderRecording) << "an older recording";
    std::ofstream(folder_ + "/hbSET.DAT") << "1021";
    StartRecorder();
    const HANDLE device = OpenDevice();
    NoisyReads(device, 40, 4);  // 200 KiB that do not compress
    CloseHandle(device);
  }

  void ExpectCardAsBefore() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_))
      names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"hbSET.DAT", OlderRecording}));
    EXPECT_EQ(Contents(folder_ + "/" + OlderRecording), "an older recording");
    EXPECT_EQ(Contents(folder_ + "/hbSET.DAT"), "1021");
  }

  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  static constexpr char OlderRecording[] = "quelt-recording-20200101-000000-000-000-request.qrec";
};

// Files of this process may grow to 64 KiB, and going beyond fails the write (EFBIG) instead of
// ending the process.
void LimitFileSize() {
  signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{64 * 1024, 64 * 1024};
  setrlimit(RLIMIT_FSIZE, &limit);
}

TEST_F(FailedSaveTest, SaveThatCannotBeWrittenWholeLeavesNothingAndSaysSoOnce) {
  ::testing::FLAGS_gtest_death_test_style = "fast";
  EXPECT_EXIT(
      {
        LimitFileSize();
        _exit(platform::SaveFlightRecording("request").empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "^[^\n]*: recording not written to [^\n]*: File too large\n$");
  ExpectCardAsBefore();
}

TEST_F(FailedSaveTest, CrashSaveThatCannotBeWrittenWholeLeavesNothingAndSaysSoOnce) {
  ::testing::FLAGS_gtest_death_test_style = "fast";
  EXPECT_EXIT(
      {
        LimitFileSize();
        raise(SIGSEGV);
      },
      DiedOfTheCrash,
      "^[^\n]*: recording not written at a crash: the file is too large for the card\n");
  ExpectCardAsBefore();
}

void SetVersion(std::vector<std::uint8_t>& file, std::uint16_t version) {
  file[8] = static_cast<std::uint8_t>(version);
  file[9] = static_cast<std::uint8_t>(version >> 8);
}

}  // namespace
