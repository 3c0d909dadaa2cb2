#include "tests/platform_desktop/child_processes.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace platform::test {

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
  const auto give_up = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::string FileText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

ScratchFolder::ScratchFolder() {
  char folder[] = "/tmp/quelt-test-XXXXXX";
  if (mkdtemp(folder)) path_ = folder;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

ChildProcesses::~ChildProcesses() {
  for (pid_t pid : running_) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

pid_t ChildProcesses::Start(const std::string& program, const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment,
                            const std::string& output_file, const std::string& error_file) {
  std::vector<std::string> settings = environment;
  for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) settings.push_back(std::string(name) + "=" + value);
  }
  std::vector<char*> environment_list;
  for (std::string& setting : settings) environment_list.push_back(setting.data());
  environment_list.push_back(nullptr);
  std::vector<std::string> words = arguments;
  words.insert(words.begin(), program);
  // A 32-bit build tested on a kernel that runs no 32-bit program runs the test under an
  // emulator; its children are programs of the same build and need it too.
  const std::string emulator = QUELT_CHILD_EMULATOR;
  if (!emulator.empty()) words.insert(words.begin(), emulator);
  std::vector<char*> argument_list;
  for (std::string& word : words) argument_list.push_back(word.data());
  argument_list.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  constexpr int kCreate = O_WRONLY | O_CREAT | O_TRUNC;
  posix_spawn_file_actions_addopen(&actions, 1, output_file.c_str(), kCreate, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, error_file.c_str(), kCreate, 0644);
  pid_t pid = 0;
  const int status = posix_spawn(&pid, words.front().c_str(), &actions, nullptr,
                                 argument_list.data(), environment_list.data());
  posix_spawn_file_actions_destroy(&actions);
  if (status != 0) return 0;
  running_.push_back(pid);
  return pid;
}

int ChildProcesses::ExitCodeWithin(pid_t pid, std::chrono::milliseconds bound) {
  int status = 0;
  if (!WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, bound)) return -1;
  running_.erase(std::remove(running_.begin(), running_.end(), pid), running_.end());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Asks without reaping: the exit code stays for ExitCodeWithin.
bool ChildProcesses::StillRunning(pid_t pid) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

}  // namespace platform::test
