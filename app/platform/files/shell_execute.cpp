// ShellExecuteEx: starts a program from the storage card with posix_spawn. Nothing waits for it,
// as on the head unit; a detached thread per child collects its exit status so that it leaves no
// zombie. It waits for that one process id only, so other children of the process are untouched
// and no SIGCHLD handler is needed.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/internal/module_interfaces.h"
#include "platform/testing.h"

extern char** environ;

namespace {

// Win32 reports success as an hInstApp above 32, failures as these small codes.
constexpr std::uintptr_t kLaunched = 33;
constexpr std::uintptr_t kFileNotFound = 2;
constexpr std::uintptr_t kAccessDenied = 5;
constexpr std::uintptr_t kOutOfResources = 8;
constexpr std::uintptr_t kNoAssociation = 31;

BOOL Fail(SHELLEXECUTEINFO* info, std::uintptr_t code) {
  info->hInstApp = reinterpret_cast<HINSTANCE>(code);
  return FALSE;
}

// The parameters split at blanks; double quotes keep blanks inside one argument.
std::vector<std::string> SplitParameters(const std::string& parameters) {
  std::vector<std::string> arguments;
  std::string current;
  bool quoted = false;
  bool have_argument = false;
  for (char c : parameters) {
    if (c == '"') {
      quoted = !quoted;
      have_argument = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (have_argument) arguments.push_back(current);
      current.clear();
      have_argument = false;
    } else {
      current.push_back(c);
      have_argument = true;
    }
  }
  if (have_argument) arguments.push_back(current);
  return arguments;
}

bool IsOpenVerb(LPCWSTR verb) {
  if (verb == nullptr || *verb == 0) return true;
  std::string text = platform::Utf8FromWide(verb);
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text == "open";
}

bool Spawn(const std::string& program, const std::vector<std::string>& arguments,
           const std::string* directory, pid_t* pid) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  if (directory != nullptr) posix_spawn_file_actions_addchdir_np(&actions, directory->c_str());
  // The program starts with no signal blocked or caught, in a process group of its own, so that
  // an interrupt meant for the panel does not reach the program it started.
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  int status = posix_spawn(pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return status == 0;
}

void CollectWhenDone(pid_t pid) {
  try {
    std::thread([pid] {
      while (waitpid(pid, nullptr, 0) == -1 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the finished child stays a zombie until the panel exits.
  }
}

// Records the launch in the trace of a virtual run: "ShellExecuteEx <file> <parameters>:
// <hInstApp>".
BOOL Traced(const SHELLEXECUTEINFO* info, BOOL result) {
  if (platform::VirtualTimeActive()) {
    platform::TraceEvent("ShellExecuteEx " + platform::Utf8FromWide(info->lpFile) + " " +
                         platform::Utf8FromWide(info->lpParameters) + ": " +
                         std::to_string(reinterpret_cast<std::uintptr_t>(info->hInstApp)));
  }
  return result;
}

BOOL Launch(SHELLEXECUTEINFO* info) {
  info->hProcess = nullptr;
  if (!IsOpenVerb(info->lpVerb)) return Fail(info, kNoAssociation);
  std::string program;
  if (!platform::MapStoragePathW(info->lpFile, &program)) return Fail(info, kFileNotFound);
  struct stat file {};
  if (stat(program.c_str(), &file) != 0 || !S_ISREG(file.st_mode)) {
    return Fail(info, kFileNotFound);
  }
  if (access(program.c_str(), X_OK) != 0) return Fail(info, kAccessDenied);
  std::string directory;
  bool has_directory = info->lpDirectory != nullptr && *info->lpDirectory != 0;
  if (has_directory && !platform::MapStoragePathW(info->lpDirectory, &directory)) {
    return Fail(info, kFileNotFound);
  }
  pid_t pid = 0;
  if (!Spawn(program, SplitParameters(platform::Utf8FromWide(info->lpParameters)),
             has_directory ? &directory : nullptr, &pid)) {
    return Fail(info, kOutOfResources);
  }
  CollectWhenDone(pid);
  info->hInstApp = reinterpret_cast<HINSTANCE>(kLaunched);
  return TRUE;
}

}  // namespace

BOOL ShellExecuteEx(SHELLEXECUTEINFO* info) {
  if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFO)) return FALSE;
  return Traced(info, Launch(info));
}
