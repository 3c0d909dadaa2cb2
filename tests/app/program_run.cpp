#include "tests/app/program_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace app_test {
namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

ProgramRun::ProgramRun() {
  char folder[] = "/tmp/quelt-run-XXXXXX";
  if (mkdtemp(folder)) folder_ = folder;
}

ProgramRun::~ProgramRun() {
  Kill();
  if (!folder_.empty()) std::filesystem::remove_all(folder_);
}

bool ProgramRun::Start(const std::vector<std::string>& arguments,
                       std::vector<std::string> environment, bool journal_stderr) {
  if (folder_.empty()) return false;
  const std::string errors = folder_ + "/stderr";
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, (folder_ + "/stdout").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, STDERR_FILENO, errors.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (journal_stderr) {
    // The file exists before the spawn, so its identity is known to put in JOURNAL_STREAM.
    std::ofstream(errors).flush();
    struct stat status {};
    stat(errors.c_str(), &status);
    environment.push_back("JOURNAL_STREAM=" + std::to_string(status.st_dev) + ":" +
                          std::to_string(status.st_ino));
  }
  environment.push_back("PATH=/usr/bin:/bin");
  for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name))
      environment.push_back(std::string(name) + "=" + value);
  }
  std::vector<std::string> argument_texts = {QUELT_PANEL_PROGRAM};
  argument_texts.insert(argument_texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv, envp;
  for (std::string& text : argument_texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  for (std::string& text : environment) envp.push_back(text.data());
  envp.push_back(nullptr);
  const bool started =
      posix_spawn(&pid_, QUELT_PANEL_PROGRAM, &files, nullptr, argv.data(), envp.data()) == 0;
  posix_spawn_file_actions_destroy(&files);
  if (!started) pid_ = 0;
  return started;
}

int ProgramRun::ExitCode() {
  if (pid_ == 0) return -1;
  int status = 0;
  if (!WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; })) return -1;
  pid_ = 0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ProgramRun::Kill() {
  if (pid_ == 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = 0;
}

std::string ProgramRun::Output() const { return FileText(folder_ + "/stdout"); }

std::string ProgramRun::Errors() const { return FileText(folder_ + "/stderr"); }

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
