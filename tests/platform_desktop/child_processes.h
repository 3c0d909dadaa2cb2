// What the tests that run more than one process share: programs started as child processes with
// an environment of their own (nothing of the test's leaks in but the sanitizer options), their
// standard output and error in files, bounded waits, and a scratch folder.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace platform::test {

// Real processes on a shared, loaded machine: the bound only stops a hung test.
constexpr std::chrono::milliseconds kPatience{30'000};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUELT_SANITIZED_TEST 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUELT_SANITIZED_TEST 1
#endif
#endif

// The bound on what a user expects at once (a second start ending, a stop taking effect): 1 s,
// and five times that in a sanitizer build, whose processes start and end several times slower.
// It too only stops a hung test; it measures nothing.
#ifdef QUELT_SANITIZED_TEST
constexpr std::chrono::milliseconds kAtOnce{5'000};
#else
constexpr std::chrono::milliseconds kAtOnce{1'000};
#endif

// True once condition() holds, false when bound passed first.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds bound = kPatience);

std::string FileText(const std::string& path);

// A folder under /tmp, removed with everything in it when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The children a test started; those still running when it goes are killed.
class ChildProcesses {
 public:
  ChildProcesses() = default;
  ~ChildProcesses();
  ChildProcesses(const ChildProcesses&) = delete;
  ChildProcesses& operator=(const ChildProcesses&) = delete;

  // Starts program with the arguments and exactly the environment given (plus the test's own
  // sanitizer options, which a sanitizer build of the child reads); 0 when it cannot start.
  pid_t Start(const std::string& program, const std::vector<std::string>& arguments,
              const std::vector<std::string>& environment, const std::string& output_file,
              const std::string& error_file);
  // The exit code once the child ended within bound; -1 when it did not (it is left running),
  // or when a signal ended it.
  int ExitCodeWithin(pid_t pid, std::chrono::milliseconds bound = kPatience);
  bool StillRunning(pid_t pid);

 private:
  std::vector<pid_t> running_;
};

}  // namespace platform::test
