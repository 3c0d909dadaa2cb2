// ShellExecuteEx: starts a program from the storage card. Nothing waits for it, as on the head
// unit; a detached thread per child collects its exit status so that it leaves no zombie. It waits
// for that one process id only, so other children of the process are untouched and no SIGCHLD
// handler is needed.
//
// The program runs from the very file the card's rules opened (card_entries.h: no link at any
// level, a regular file), through fexecve on that descriptor, so nothing is looked up by path
// between the check and the start. The child gets none of the panel's descriptors (the link
// device, sockets, card files) and only the environment that a program of the user's session
// needs. A script (a "#!" line) is started by the kernel through /dev/fd/N, so its one descriptor
// (the script itself, read-only) stays open for its interpreter; a binary keeps 0, 1 and 2 only.
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/files/card_entries.h"
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

// What a program of the user's session needs from the panel's environment; the rest (the link
// device list, the card's folder, the panel's display choices, a service manager's sockets) is
// the panel's own business.
bool PassedToPrograms(const char* setting) {
  static const char* const kNames[] = {"HOME",
                                       "USER",
                                       "LOGNAME",
                                       "PATH",
                                       "LANG",
                                       "LANGUAGE",
                                       "DISPLAY",
                                       "WAYLAND_DISPLAY",
                                       "XDG_RUNTIME_DIR",
                                       "XAUTHORITY",
                                       "DBUS_SESSION_BUS_ADDRESS",
                                       "TZ"};
  if (std::strncmp(setting, "LC_", 3) == 0) return true;
  for (const char* name : kNames) {
    const std::size_t length = std::strlen(name);
    if (std::strncmp(setting, name, length) == 0 && setting[length] == '=') return true;
  }
  return false;
}

std::vector<char*> SessionEnvironment() {
  std::vector<char*> settings;
  for (char** setting = environ; *setting != nullptr; ++setting) {
    if (PassedToPrograms(*setting)) settings.push_back(*setting);
  }
  settings.push_back(nullptr);
  return settings;
}

struct Program {
  int file = -1;       // the program, opened by the card's rules
  int directory = -1;  // the folder to start it in; -1 for the panel's own
  bool script = false;
};

// Everything in the child between fork and exec: system calls only, no allocation.
[[noreturn]] void StartInChild(const Program& program, char* const* argv, char* const* environment,
                               int report, rlim_t descriptor_limit) {
  // The program starts with no signal blocked or caught, in a process group of its own, so that
  // an interrupt meant for the panel does not reach the program it started.
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) sigaction(signal, &default_action, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  setpgid(0, 0);
  // Every descriptor above 2 ends with the exec, whatever flags its opener gave it.
  if (syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) != 0) {
    for (rlim_t fd = 3; fd < descriptor_limit; ++fd)
      fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
  }
  if (program.script) fcntl(program.file, F_SETFD, 0);
  int error = 0;
  if (program.directory >= 0 && fchdir(program.directory) != 0) {
    error = errno;
  } else {
    fexecve(program.file, argv, environment);
    error = errno;
  }
  [[maybe_unused]] const ssize_t written = write(report, &error, sizeof error);
  _exit(127);
}

// 0 once the program runs, else why it could not start (an errno).
int Spawn(const Program& program, const std::string& name,
          const std::vector<std::string>& arguments, pid_t* pid) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(name.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const std::vector<char*> environment = SessionEnvironment();
  rlimit limit{};
  const rlim_t descriptor_limit =
      getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY ? limit.rlim_cur
                                                                               : 1024;
  // The child says through this pipe why its exec failed; a successful exec closes it unwritten.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return errno;
  *pid = fork();
  if (*pid == 0) {
    close(report[0]);
    StartInChild(program, argv.data(), environment.data(), report[1], descriptor_limit);
  }
  const int fork_error = errno;
  close(report[1]);
  int error = *pid < 0 ? fork_error : 0;
  if (*pid > 0) {
    ssize_t got;
    while ((got = read(report[0], &error, sizeof error)) == -1 && errno == EINTR) {
    }
    if (got != sizeof error) error = 0;
  }
  close(report[0]);
  return error;
}

void CollectWhenDone(pid_t pid) {
  try {
    std::thread([pid] {
      platform::GiveThreadSignalStack();
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

// Opens the card's regular file at that device path, read-only (a script's interpreter reads it);
// -1 with errno set when there is none.
int OpenCardFile(const std::string& device_path) {
  platform::files::CardEntry entry;
  if (!platform::files::OpenCardEntry(device_path.c_str(), &entry)) return -1;
  const int fd = platform::files::OpenRegularFileAt(entry.folder, entry.name, O_RDONLY);
  const int error = errno;
  close(entry.folder);
  errno = error;
  return fd;
}

int OpenCardFolder(const std::string& device_path) {
  platform::files::CardEntry entry;
  if (!platform::files::OpenCardEntry(device_path.c_str(), &entry)) return -1;
  const int fd =
      openat(entry.folder, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  close(entry.folder);
  return fd;
}

bool StartsWithInterpreterLine(int file) {
  char start[2] = {};
  return pread(file, start, sizeof start, 0) == sizeof start && start[0] == '#' && start[1] == '!';
}

void CloseProgram(const Program& program) {
  if (program.file >= 0) close(program.file);
  if (program.directory >= 0) close(program.directory);
}

BOOL Launch(SHELLEXECUTEINFO* info) {
  info->hProcess = nullptr;
  if (!IsOpenVerb(info->lpVerb)) return Fail(info, kNoAssociation);
  const std::string device_path = info->lpFile ? platform::Utf8FromWide(info->lpFile) : "";
  std::string name;
  if (!platform::MapStoragePath(device_path, &name)) return Fail(info, kFileNotFound);
  Program program;
  program.file = OpenCardFile(device_path);
  if (program.file < 0) return Fail(info, errno == EACCES ? kAccessDenied : kFileNotFound);
  struct stat file {};
  if (fstat(program.file, &file) != 0 || (file.st_mode & 0111) == 0) {
    CloseProgram(program);
    return Fail(info, kAccessDenied);
  }
  program.script = StartsWithInterpreterLine(program.file);
  if (info->lpDirectory != nullptr && *info->lpDirectory != 0) {
    program.directory = OpenCardFolder(platform::Utf8FromWide(info->lpDirectory));
    if (program.directory < 0) {
      CloseProgram(program);
      return Fail(info, kFileNotFound);
    }
  }
  pid_t pid = 0;
  const int error =
      Spawn(program, name, SplitParameters(platform::Utf8FromWide(info->lpParameters)), &pid);
  CloseProgram(program);
  if (pid > 0) CollectWhenDone(pid);
  if (error != 0) {
    return Fail(info, error == EACCES || error == EPERM ? kAccessDenied
                      : error == ENOENT                 ? kFileNotFound
                                                        : kOutOfResources);
  }
  info->hInstApp = reinterpret_cast<HINSTANCE>(kLaunched);
  return TRUE;
}

}  // namespace

BOOL ShellExecuteEx(SHELLEXECUTEINFO* info) {
  if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFO)) return FALSE;
  return Traced(info, Launch(info));
}
