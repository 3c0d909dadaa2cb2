// Lines on standard error, with syslog priorities when it is the journal. Each line goes out in
// one write, so lines of different threads never interleave.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/diagnostics.h"
#include "platform/internal/module_interfaces.h"

namespace platform {
namespace {

// systemd sets JOURNAL_STREAM to "device:inode" of the stream it connected to the journal; a
// program whose standard error was redirected elsewhere since must not take it for the journal.
bool StandardErrorIsTheJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  struct stat status;
  if (!stream || fstat(STDERR_FILENO, &status) != 0) return false;
  unsigned long long device = 0, inode = 0;
  if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) return false;
  return device == static_cast<unsigned long long>(status.st_dev) &&
         inode == static_cast<unsigned long long>(status.st_ino);
}

// The version that LogStart gave, until the start line has been said.
std::atomic<const char*> start_version{nullptr};

}  // namespace

void LogLine(LogPriority priority, const std::string& text) {
  static const bool journal = StandardErrorIsTheJournal();
  std::string line;
  if (journal) line = "<" + std::to_string(static_cast<int>(priority)) + ">";
  line += program_invocation_short_name;
  line += ": " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void LogStart(const char* version) { start_version = version; }

void LogStartLine(const std::string& display) {
  const char* version = start_version.exchange(nullptr);
  if (!version) return;
  LogLine(LogPriority::Info, std::string("version ") + version + ", link devices " +
                                 DescribeLinkDevices() + ", display " + display);
}

}  // namespace platform

void OutputDebugStringW(LPCWSTR text) {
  std::string line = platform::Utf8FromWide(text);
  // A Win32 debug string usually carries its own line end; the log adds one.
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  platform::RecordDebugLine(line);
  platform::LogLine(platform::LogPriority::Info, line);
}
