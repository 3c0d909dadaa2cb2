#include "tests/app/program_run.h"

#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace app_test {

using platform::test::FileText;

bool ProgramRun::Start(const std::vector<std::string>& arguments,
                       std::vector<std::string> environment, bool journal_stderr) {
  if (folder().empty()) return false;
  const std::string errors = folder() + "/stderr";
  if (journal_stderr) {
    // The file exists before the start, so its identity is known to put in JOURNAL_STREAM.
    std::ofstream(errors).flush();
    struct stat status {};
    stat(errors.c_str(), &status);
    environment.push_back("JOURNAL_STREAM=" + std::to_string(status.st_dev) + ":" +
                          std::to_string(status.st_ino));
  }
  std::filesystem::create_directories(folder() + "/run");
  environment.push_back("XDG_RUNTIME_DIR=" + folder() + "/run");
  environment.push_back("QUELT_INSTANCE_SCOPE=" + folder() + "/run");
  environment.push_back("PATH=/usr/bin:/bin");
  pid_ = children_.Start(QUELT_PANEL_PROGRAM, arguments, environment, folder() + "/stdout", errors);
  return pid_ != 0;
}

int ProgramRun::ExitCode() { return pid_ ? children_.ExitCodeWithin(pid_) : -1; }

void ProgramRun::Stop() {
  if (pid_) kill(pid_, SIGTERM);
}

std::string ProgramRun::Output() const { return FileText(folder() + "/stdout"); }

std::string ProgramRun::Errors() const { return FileText(folder() + "/stderr"); }

bool ProgramRun::WaitForError(const std::string& text) const {
  return WaitFor([&] { return Errors().find(text) != std::string::npos; });
}

int ProgramRun::ErrorCount(const std::string& text) const {
  const std::string errors = Errors();
  int count = 0;
  for (std::size_t at = errors.find(text); at != std::string::npos;
       at = errors.find(text, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace app_test
