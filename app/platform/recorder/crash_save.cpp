// The recording a crash leaves: on a fatal signal the handler writes the ring as it stands, with
// async-signal-safe calls only. Everything it needs is made ready at start: the folder open, the
// header's fields, a buffer for the block being filled; the handler only copies, checks (zlib's
// crc32 works on its own tables), writes, syncs and renames, then lets the signal take its course.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/internal/module_interfaces.h"
#include "platform/recorder/recorder_state.h"

namespace platform::recorder {
namespace {

constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr std::size_t NameBytes = 96;

struct CrashFile {
  int folder = -1;
  std::uint8_t header[RecordingHeaderBytes];
  std::vector<std::uint8_t> block;  // the block being filled, as a stored record
  char temporary[NameBytes];
  std::atomic<bool> writing{false};
};

CrashFile& Crash() {
  static CrashFile* crash = new CrashFile;
  return *crash;
}

struct sigaction previous_actions[sizeof FatalSignals / sizeof FatalSignals[0]];

// Appends text, then n as digits (at least width of them).
char* Append(char* at, const char* text) {
  while (*text) *at++ = *text++;
  return at;
}

char* AppendNumber(char* at, std::uint64_t n, int width) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n > 0);
  while (count < width) digits[count++] = '0';
  while (count > 0) *at++ = digits[--count];
  return at;
}

// "quelt-recording-YYYYMMDD-HHMMSS-mmm-crash.qrec" from the realtime clock, without the C
// library's time functions (days to a civil date as in the proleptic Gregorian calendar).
void CrashFileName(char* name) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const std::int64_t seconds = now.tv_sec;
  std::int64_t days = seconds / 86400;
  const std::int64_t of_day = seconds % 86400;
  days += 719468;
  const std::int64_t era = days / 146097;
  const std::int64_t day_of_era = days - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t month_index = (5 * day_of_year + 2) / 153;
  const std::int64_t day = day_of_year - (153 * month_index + 2) / 5 + 1;
  const std::int64_t month = month_index < 10 ? month_index + 3 : month_index - 9;
  const std::int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  char* at = Append(name, "quelt-recording-");
  at = AppendNumber(at, static_cast<std::uint64_t>(year), 4);
  at = AppendNumber(at, static_cast<std::uint64_t>(month), 2);
  at = AppendNumber(at, static_cast<std::uint64_t>(day), 2);
  *at++ = '-';
  at = AppendNumber(at, static_cast<std::uint64_t>(of_day / 3600), 2);
  at = AppendNumber(at, static_cast<std::uint64_t>(of_day / 60 % 60), 2);
  at = AppendNumber(at, static_cast<std::uint64_t>(of_day % 60), 2);
  *at++ = '-';
  at = AppendNumber(at, static_cast<std::uint64_t>(now.tv_nsec / 1'000'000), 3);
  at = Append(at, "-crash.qrec");
  *at = 0;
}

// One line on standard error (the journal): "<program>: <text><name>".
void SayOnStderr(const char* text, const char* name) {
  char line[NameBytes + 128];
  char* at = Append(line, program_invocation_short_name);
  at = Append(at, ": ");
  at = Append(at, text);
  at = Append(at, name);
  *at++ = '\n';
  WriteAll(STDERR_FILENO, reinterpret_cast<const std::uint8_t*>(line),
           static_cast<std::size_t>(at - line));
}

// Why a write failed, in words, for the errors a card gives; strerror is not safe here.
const char* CardError(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return "the card is full";
    case EFBIG:
      return "the file is too large for the card";
    case EROFS:
      return "the card is read-only";
    case EACCES:
    case EPERM:
      return "the folder may not be written";
    default:
      return "the card failed the write";
  }
}

// The records kept and the block being filled, as written.
std::size_t CrashRecordingBytes(const RecorderState& state, std::size_t count, std::size_t used) {
  std::size_t bytes = RecordingHeaderBytes;
  for (std::size_t i = 0; i < count; ++i) {
    bytes += state.slots[(state.slot_head + i) % state.slots.size()].size;
  }
  return used > 0 ? bytes + RecordHeaderBytes + used + RecordCheckBytes : bytes;
}

// Writes the file whole under its temporary name; false with errno when the card refused.
bool WriteCrashContent(int fd, RecorderState& state, CrashFile& crash, std::size_t count,
                       std::size_t used) {
  SetHeaderGivenUp(state.records_given_up.load(std::memory_order_relaxed), crash.header);
  if (!WriteAll(fd, crash.header, sizeof crash.header)) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const RecordSlot& slot = state.slots[(state.slot_head + i) % state.slots.size()];
    if (!WriteAll(fd, state.ring.data() + slot.offset, slot.size)) return false;
  }
  if (used > 0) {
    // The block being filled, copied first so that what is checked is what is written.
    std::memcpy(crash.block.data() + RecordHeaderBytes, state.staging.data(), used);
    const std::size_t size = FinishRecord(crash.block.data(), 0, used, used, state.staging_events,
                                          state.staging_first_ms);
    if (!WriteAll(fd, crash.block.data(), size)) return false;
  }
  return fsync(fd) == 0;
}

void WriteCrashRecording() {
  RecorderState& state = Recorder();
  CrashFile& crash = Crash();
  if (!state.active.load() || crash.folder == -1) return;
  const std::size_t count = state.slot_count.load(std::memory_order_acquire);
  const std::size_t used = state.staging_used.load(std::memory_order_acquire);
  if (!CardHasRoomFor(crash.folder, CrashRecordingBytes(state, count, used))) {
    SayOnStderr("recording not written at a crash: ", "the card is too full");
    return;
  }
  const int fd =
      openat(crash.folder, crash.temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd == -1) {
    SayOnStderr("recording not written at a crash: ", CardError(errno));
    return;
  }
  const bool whole = WriteCrashContent(fd, state, crash, count, used);
  const int error = errno;
  if (close(fd) != 0 || !whole) {
    // Nothing of it stays under either name.
    unlinkat(crash.folder, crash.temporary, 0);
    SayOnStderr("recording not written at a crash: ", CardError(whole ? errno : error));
    return;
  }
  char name[NameBytes];
  CrashFileName(name);
  if (renameat(crash.folder, crash.temporary, crash.folder, name) != 0) {
    unlinkat(crash.folder, crash.temporary, 0);
    SayOnStderr("recording not written at a crash: ", CardError(errno));
    return;
  }
  fsync(crash.folder);
  SayOnStderr("recording written at a crash: ", name);
}

void FatalSignalArrived(int signal_number) {
  const int saved_errno = errno;
  if (!Crash().writing.exchange(true)) WriteCrashRecording();
  // The signal's own action next: back to what was there before, raised again once this
  // handler returns (the signal is blocked until then).
  for (std::size_t i = 0; i < sizeof FatalSignals / sizeof FatalSignals[0]; ++i) {
    if (FatalSignals[i] == signal_number) sigaction(signal_number, &previous_actions[i], nullptr);
  }
  raise(signal_number);
  errno = saved_errno;
}

}  // namespace

void PrepareCrashFile(const RecorderState& state) {
  CrashFile& crash = Crash();
  if (crash.folder != -1) close(crash.folder);
  crash.folder = state.settings.folder.empty()
                     ? -1
                     : open(state.settings.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // The header says "crash"; the time it was written is not known ahead, so it reads 0.
  WriteHeader(state, "crash", 0, 0, crash.header);
  crash.block.assign(RecordHeaderBytes + RecordingMaxBlockBytes + RecordCheckBytes, 0);
  char* at = Append(crash.temporary, ".quelt-recording-crash-");
  at = AppendNumber(at, static_cast<std::uint64_t>(getpid()), 1);
  Append(at, ".tmp");
  *(at + 4) = 0;
  crash.writing = false;
}

void InstallCrashHandlers() {
  static std::once_flag installed;
  // The threads the platform starts take their own stacks; this one may be the program's main
  // thread.
  GiveThreadSignalStack();
  std::call_once(installed, [] {
    struct sigaction action {};
    action.sa_handler = FatalSignalArrived;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < sizeof FatalSignals / sizeof FatalSignals[0]; ++i) {
      sigaction(FatalSignals[i], &action, &previous_actions[i]);
    }
  });
}

}  // namespace platform::recorder
