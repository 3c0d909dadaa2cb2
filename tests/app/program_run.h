// The program as a user runs it from a shell or a service: one real process with its own
// environment, a folder of its own (its runtime folder too, so runs at once never meet as one
// panel's second start), and standard output and error in files the test reads while it runs.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/platform_desktop/child_processes.h"

namespace app_test {

using platform::test::WaitFor;

class ProgramRun {
 public:
  const std::string& folder() const { return folder_.path(); }
  // Starts the program with these arguments and environment ("NAME=value"; PATH, the runtime
  // folder and the sanitizers' options are added). With journal_stderr, JOURNAL_STREAM names the
  // file that standard error goes to, as systemd names the journal's stream. False when it did
  // not start.
  bool Start(const std::vector<std::string>& arguments, std::vector<std::string> environment,
             bool journal_stderr = false);
  // The exit code once the process ended within the patience limit, else -1.
  int ExitCode();
  // SIGTERM, as the service manager stops a service.
  void Stop();

  std::string Output() const;
  std::string Errors() const;
  // Waits until standard error holds text; false after the patience limit.
  bool WaitForError(const std::string& text) const;
  // How often text occurs in standard error.
  int ErrorCount(const std::string& text) const;

 private:
  platform::test::ScratchFolder folder_;
  platform::test::ChildProcesses children_;
  pid_t pid_ = 0;
};

}  // namespace app_test
