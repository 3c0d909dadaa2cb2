// A real nbdkit serving one plugin on a Unix socket, in the foreground, ending with its owner;
// it can be stopped with SIGSTOP and continued, as a server that hangs and recovers. A target that
// defines QUELT_NBDKIT_PRELOAD (the sanitizer runtime an instrumented plugin needs) gets it loaded
// into nbdkit.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

class NbdServer {
 public:
  NbdServer(const std::string& plugin, const std::vector<std::string>& options) {
    char folder[] = "/tmp/quelt-nbd-XXXXXX";
    folder_ = mkdtemp(folder);
    socket_ = folder_ + "/unit.sock";
    ready_ = folder_ + "/nbdkit.pid";
    std::vector<std::string> words = {
        "nbdkit", "--exit-with-parent", "-f", "-U", socket_, "-P", ready_, plugin};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** variable = environ; *variable; ++variable) environment.push_back(*variable);
#ifdef QUELT_NBDKIT_PRELOAD
    environment.push_back("LD_PRELOAD=" QUELT_NBDKIT_PRELOAD);
    environment.push_back("ASAN_OPTIONS=detect_leaks=0");
#endif
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    if (posix_spawnp(&pid_, "nbdkit", nullptr, nullptr, argv.data(), envp.data()) != 0) pid_ = 0;
    // Up when the PID file appears, which nbdkit writes once it listens (the socket exists a
    // moment earlier, while connections are still refused); gone for good when nbdkit ends first.
    struct stat status;
    for (int i = 0; pid_ && i < 500 && stat(ready_.c_str(), &status) != 0; ++i) {
      if (waitpid(pid_, &exit_status_, WNOHANG) == pid_) {
        pid_ = 0;
        break;
      }
      usleep(10000);
    }
  }
  NbdServer(const NbdServer&) = delete;
  NbdServer& operator=(const NbdServer&) = delete;
  ~NbdServer() {
    Stop();
    unlink(socket_.c_str());
    unlink(ready_.c_str());
    rmdir(folder_.c_str());
  }

  // A server that dies, not one that says goodbye.
  void Stop() {
    if (pid_ == 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, &exit_status_, 0);
    pid_ = 0;
  }
  // Frozen with its connections open: the sockets stay, nothing answers.
  void Pause() { Signal(SIGSTOP, WSTOPPED); }
  void Resume() { Signal(SIGCONT, WCONTINUED); }

  bool running() const { return pid_ != 0; }
  int exit_status() const { return exit_status_; }
  std::string list() const { return "nbd+unix:///?socket=" + socket_; }

 private:
  // Returns once the kernel has carried the signal out, so the caller knows the server's state.
  void Signal(int signal, int change) {
    if (pid_ == 0) return;
    kill(pid_, signal);
    siginfo_t info;
    waitid(P_PID, static_cast<id_t>(pid_), &info, change);
  }

  std::string folder_;
  std::string socket_;
  std::string ready_;
  pid_t pid_ = 0;
  int exit_status_ = 0;
};
