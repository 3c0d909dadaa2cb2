// Writing recordings: a snapshot of the ring taken under the lock, then the file written whole
// or not at all (a temporary name, fsync, rename, fsync of the folder), the newest eight kept.
// The recorder's own thread writes the files that SIGUSR1 and a lost link ask for, so neither
// the signal handler nor the link thread waits for the card. Start reading at
// SaveFlightRecording.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "platform/diagnostics.h"
#include "platform/internal/module_interfaces.h"
#include "platform/recorder/recorder_state.h"

namespace platform {
namespace recorder {
namespace {

constexpr int KeptRecordings = 8;
// Left free on the card for the settings file and its temporary copy: a recording that would
// take it is not written.
constexpr std::uint64_t CardReserveBytes = 256 * 1024;
constexpr char FilePrefix[] = "quelt-recording-";
constexpr char FileSuffix[] = ".qrec";

std::atomic<int> recordings_written{0};
std::atomic<unsigned> save_serial{0};
int save_pipe[2] = {-1, -1};
std::mutex saving;  // one file at a time

// The header and the records of the last minutes, oldest first; the block being filled is
// compressed into the ring first.
std::vector<std::uint8_t> Snapshot(RecorderState& state, const char* reason) {
  std::lock_guard<std::mutex> hold(state.lock);
  if (!state.active) return {};
  FlushStagingLocked(state);
  const std::int64_t now = NowMs();
  const std::int64_t oldest = now - std::int64_t{state.settings.minutes} * 60'000;
  std::vector<std::uint8_t> file(RecordingHeaderBytes);
  std::uint32_t given_up = state.records_given_up.load(std::memory_order_relaxed);
  for (std::size_t i = 0; i < state.slot_count.load(); ++i) {
    const RecordSlot& slot = state.slots[(state.slot_head + i) % state.slots.size()];
    if (slot.last_ms < oldest) {
      ++given_up;
      continue;
    }
    const std::uint8_t* record = state.ring.data() + slot.offset;
    file.insert(file.end(), record, record + slot.size);
  }
  WriteHeader(state, reason, now, given_up, file.data());
  return file;
}

// "20261209-101500-123": UTC, to the millisecond, so that names sort by age.
std::string UtcStamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const long ms = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d-%03ld", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, ms);
  return text;
}

// Removes all but the newest KeptRecordings recordings of the folder.
void PruneRecordings(int folder) {
  const int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listing == -1 ? nullptr : fdopendir(listing);
  if (dir == nullptr) {
    if (listing != -1) close(listing);
    return;
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.rfind(FilePrefix, 0) == 0 && name.size() > sizeof FileSuffix &&
        name.compare(name.size() - (sizeof FileSuffix - 1), std::string::npos, FileSuffix) == 0) {
      names.push_back(name);
    }
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (std::size_t i = 0; i + KeptRecordings < names.size(); ++i) {
    unlinkat(folder, names[i].c_str(), 0);
  }
}

// Writes the file under a temporary name and renames it; "" and a log line when it fails.
std::string WriteRecordingFile(const std::string& folder_path, const std::string& name,
                               const std::vector<std::uint8_t>& content) {
  const int folder = open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder == -1) {
    LogLine(LogPriority::Warning,
            "recording not written: cannot open " + folder_path + ": " + std::strerror(errno));
    return "";
  }
  if (!CardHasRoomFor(folder, content.size())) {
    LogLine(LogPriority::Warning, "recording not written: " + folder_path +
                                      " is too full (the settings file keeps its room)");
    close(folder);
    return "";
  }
  const std::string temporary = "." + name + ".tmp";
  // The first step that fails names the cause.
  int error = 0;
  const int fd = openat(folder, temporary.c_str(),
                        O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd == -1) {
    error = errno;
  } else {
    if (!WriteAll(fd, content.data(), content.size()) || fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
  }
  if (error == 0 && renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) error = errno;
  if (error != 0) {
    // Nothing of it stays, under either name; the older recordings stay as they were.
    if (fd != -1) unlinkat(folder, temporary.c_str(), 0);
    LogLine(LogPriority::Warning,
            "recording not written to " + folder_path + ": " + std::strerror(error));
    close(folder);
    return "";
  }
  fsync(folder);
  PruneRecordings(folder);
  close(folder);
  return folder_path + "/" + name;
}

const char* ReasonName(char reason) {
  switch (reason) {
    case 'l':
      return "link-lost";
    default:
      return "request";
  }
}

void SignalAskedForRecording(int) {
  const int saved_errno = errno;
  RequestSave('r');
  errno = saved_errno;
}

void ServeSaveRequests() {
  char reason = 0;
  while (true) {
    const ssize_t got = read(save_pipe[0], &reason, 1);
    if (got == 1) {
      SaveFlightRecording(ReasonName(reason));
    } else if (got < 0 && errno != EINTR) {
      return;
    }
  }
}

}  // namespace

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CardHasRoomFor(int folder, std::uint64_t bytes) {
  struct statfs space {};
  if (fstatfs(folder, &space) != 0) return true;
  return std::uint64_t{space.f_bavail} * static_cast<std::uint64_t>(space.f_bsize) >=
         bytes + CardReserveBytes;
}

void RequestSave(char reason) {
  if (save_pipe[1] != -1) {
    const ssize_t ignored = write(save_pipe[1], &reason, 1);
    (void)ignored;  // a full pipe already holds a request
  }
}

// The thread and SIGUSR1's handler, once per process.
void StartSaveThread() {
  static std::once_flag started;
  std::call_once(started, [] {
    if (pipe2(save_pipe, O_CLOEXEC) != 0) return;
    fcntl(save_pipe[1], F_SETFL, O_NONBLOCK);
    std::thread([] {
      GiveThreadSignalStack();
      ServeSaveRequests();
    }).detach();
    struct sigaction action {};
    action.sa_handler = SignalAskedForRecording;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, nullptr);
  });
}

std::string RecordingFileName(const char* reason) {
  char serial[16];
  std::snprintf(serial, sizeof serial, "%03u", save_serial++ % 1000);
  return std::string(FilePrefix) + UtcStamp() + "-" + serial + "-" + reason + FileSuffix;
}

}  // namespace recorder

using namespace recorder;

std::string SaveFlightRecording(const char* reason) {
  RecorderState& state = Recorder();
  std::lock_guard<std::mutex> one_at_a_time(saving);
  const std::vector<std::uint8_t> content = Snapshot(state, reason);
  std::string folder;
  {
    std::lock_guard<std::mutex> hold(state.lock);
    folder = state.settings.folder;
  }
  if (content.empty()) {
    LogLine(LogPriority::Info, "no recording written: the flight recorder is off");
    return "";
  }
  if (folder.empty()) return "";
  const std::string path = WriteRecordingFile(folder, RecordingFileName(reason), content);
  if (path.empty()) return "";
  ++recordings_written;
  LogLine(LogPriority::Info, "recording written: " + path + " (" + reason + ", " +
                                 std::to_string(content.size() / 1024 + 1) + " KiB)");
  return path;
}

int FlightRecordingsWritten() { return recordings_written.load(); }

}  // namespace platform
