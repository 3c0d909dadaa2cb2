// The program as a user runs it from a shell or a service: a real process with its own
// environment, standard output and standard error in files the test reads while it runs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace app_test {

// Real processes: waits are bounded polls, generous for a loaded machine.
constexpr auto PatienceLimit = std::chrono::seconds(30);

// Polls condition until it holds (true) or the patience limit passes (false).
template <typename Condition>
bool WaitFor(Condition condition);

class ProgramRun {
 public:
  // A private folder for the run's files; removed at the end.
  ProgramRun();
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  const std::string& folder() const { return folder_; }
  // Starts the program with these arguments and environment ("NAME=value"; PATH and the
  // sanitizers' options are added). With journal_stderr, JOURNAL_STREAM names the file that
  // standard error goes to, as systemd names the journal's stream. False when it did not start.
  bool Start(const std::vector<std::string>& arguments, std::vector<std::string> environment,
             bool journal_stderr = false);
  // The exit code once the process ended within the patience limit, else -1.
  int ExitCode();
  void Kill();

  std::string Output() const;
  std::string Errors() const;
  // Waits until standard error holds text; false after the patience limit.
  bool WaitForError(const std::string& text) const;
  // How often text occurs in standard error.
  int ErrorCount(const std::string& text) const;

 private:
  std::string folder_;
  pid_t pid_ = 0;
};

template <typename Condition>
bool WaitFor(Condition condition) {
  const auto give_up = std::chrono::steady_clock::now() + PatienceLimit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    struct timespec pause = {0, 20 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
  return true;
}

}  // namespace app_test
