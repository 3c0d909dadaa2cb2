// The desktop session across real processes, headless: a later start finds the holder's window,
// has it brought to the front and gets no top-level window of its own; a stop signal closes the
// holder's main-thread window, not a worker's, and the holder ends with 0. The claim is the
// user's, however the program was started, and no other user can take it, jam it or starve it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/platform_desktop/child_processes.h"

namespace platform::test {
namespace {

constexpr uid_t kStrangerUid = 65534;

// Processes of another user, forked from the test (which must run as root), that end with it.
class Strangers {
 public:
  ~Strangers() {
    for (pid_t pid : pids_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  // A stranger that binds the address (and listens on it when asked) and then waits.
  bool Hold(const sockaddr_un& address, socklen_t length, bool listening) {
    return Fork(
        [&] {
          const int socket = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0);
          return socket >= 0 &&
                 bind(socket, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
                 (!listening || listen(socket, 8) == 0);
        },
        [] { pause(); });
  }
  // A stranger that connects to the address and drops the connection, again and again.
  bool Flood(const sockaddr_un& address, socklen_t length) {
    return Fork([] { return true; },
                [&] {
                  for (;;) {
                    const int socket = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0);
                    connect(socket, reinterpret_cast<const sockaddr*>(&address), length);
                    close(socket);
                  }
                });
  }

 private:
  template <typename Prepare, typename Run>
  bool Fork(Prepare prepare, Run run) {
    int ready[2];
    if (pipe(ready) != 0) return false;
    const pid_t pid = fork();
    if (pid == 0) {
      close(ready[0]);
      const char verdict = setgid(kStrangerUid) == 0 && setuid(kStrangerUid) == 0 && prepare();
      [[maybe_unused]] const ssize_t written = write(ready[1], &verdict, 1);
      if (!verdict) _exit(1);
      run();
      _exit(0);
    }
    close(ready[1]);
    char verdict = 0;
    const bool started = pid > 0 && read(ready[0], &verdict, 1) == 1 && verdict;
    close(ready[0]);
    if (pid > 0) pids_.push_back(pid);
    return started;
  }
  std::vector<pid_t> pids_;
};

class Session : public ::testing::Test {
 protected:
  // The test's own program name keeps its claim apart from those of tests running at once.
  pid_t Start(const std::string& role, bool with_runtime_folder = true) {
    std::vector<std::string> environment = {"PATH=/usr/bin:/bin", "QUELT_DISPLAY=headless"};
    if (with_runtime_folder) environment.push_back("XDG_RUNTIME_DIR=" + folder_.path());
    return children_.Start(QUELT_SESSION_HELPER, {role, name_}, environment, OutputOf(role),
                           folder_.path() + "/" + role + ".err");
  }
  std::string OutputOf(const std::string& role) { return folder_.path() + "/" + role + ".out"; }
  std::string ErrorsOf(const std::string& role) {
    return FileText(folder_.path() + "/" + role + ".err");
  }

  pid_t StartHolder(const std::string& role = "hold", bool with_runtime_folder = true) {
    const pid_t holder = Start(role, with_runtime_folder);
    if (holder && !WaitFor([&] { return FileText(OutputOf(role)) == "ready\n"; })) {
      ADD_FAILURE() << "the holder never got ready: " << FileText(OutputOf(role)) << ErrorsOf(role);
    }
    return holder;
  }

  // The claim's name: the program's and the user's, whatever the runtime folder.
  socklen_t ClaimAddress(sockaddr_un* address) {
    const std::string name = std::string(1, '\0') + name_ + " uid " + std::to_string(geteuid());
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
  }

  void ExpectALaterStartFindsAndRaises(bool with_runtime_folder = true) {
    const pid_t later = Start("later", with_runtime_folder);
    ASSERT_NE(later, 0);
    EXPECT_EQ(children_.ExitCodeWithin(later), 0) << ErrorsOf("later");
    EXPECT_EQ(FileText(OutputOf("later")), "found raised refused\n") << ErrorsOf("later");
  }

  ScratchFolder folder_;
  std::string name_ = "quelt-session-test" + folder_.path().substr(folder_.path().rfind('/') + 1);
  ChildProcesses children_;
};

TEST_F(Session, ALaterStartFindsAndRaisesTheHoldersWindowButGetsNoneOfItsOwn) {
  const pid_t holder = StartHolder();
  ASSERT_NE(holder, 0);
  ExpectALaterStartFindsAndRaises();
  EXPECT_NE(ErrorsOf("hold").find("another start asked for \"Session Test\" to come to the front: "
                                  "brought to the front"),
            std::string::npos)
      << ErrorsOf("hold");
  EXPECT_TRUE(children_.StillRunning(holder));
}

// A service without a login session has no XDG_RUNTIME_DIR; the same user's login session has one.
TEST_F(Session, OneClaimPerUserWithOrWithoutARuntimeFolder) {
  for (bool holder_has_folder : {true, false}) {
    SCOPED_TRACE(holder_has_folder ? "holder with a runtime folder" : "later with one");
    const pid_t holder = StartHolder("hold", holder_has_folder);
    ASSERT_NE(holder, 0);
    const pid_t later = Start("later", !holder_has_folder);
    ASSERT_NE(later, 0);
    EXPECT_EQ(children_.ExitCodeWithin(later), 0) << ErrorsOf("later");
    EXPECT_EQ(FileText(OutputOf("later")), "found raised refused\n") << ErrorsOf("later");
    ASSERT_EQ(kill(holder, SIGTERM), 0);
    EXPECT_EQ(children_.ExitCodeWithin(holder), 0) << ErrorsOf("hold");
  }
}

TEST_F(Session, WithoutAHolderTheFirstToJoinGetsItsWindow) {
  const pid_t first = Start("later");
  ASSERT_NE(first, 0);
  EXPECT_EQ(children_.ExitCodeWithin(first), 0) << ErrorsOf("later");
  EXPECT_EQ(FileText(OutputOf("later")), "not-found not-raised created\n");
}

// Another user's socket on the name, listening or only bound, is not a running instance: the
// program says once that it runs without the claim, and runs.
TEST_F(Session, AnotherUsersSocketOnTheNameNeverCounts) {
  if (geteuid() != 0) GTEST_SKIP() << "a second user needs root";
  for (bool listening : {false, true}) {
    SCOPED_TRACE(listening ? "listening" : "bound only");
    Strangers strangers;
    sockaddr_un address;
    const socklen_t length = ClaimAddress(&address);
    ASSERT_TRUE(strangers.Hold(address, length, listening));
    const pid_t start = Start("later", false);
    ASSERT_NE(start, 0);
    EXPECT_EQ(children_.ExitCodeWithin(start), 0) << ErrorsOf("later");
    EXPECT_EQ(FileText(OutputOf("later")), "not-found not-raised created\n") << ErrorsOf("later");
    EXPECT_NE(ErrorsOf("later").find("the single-instance claim is held by another user"),
              std::string::npos)
        << ErrorsOf("later");
  }
}

// Strangers that connect and drop their connections as fast as they can, more of them than the
// holder has threads: a later start still gets its questions answered.
TEST_F(Session, AnotherUsersConnectionFloodLeavesRoomForLaterStarts) {
  if (geteuid() != 0) GTEST_SKIP() << "a second user needs root";
  const pid_t holder = StartHolder("hold", false);
  ASSERT_NE(holder, 0);
  Strangers strangers;
  sockaddr_un address;
  const socklen_t length = ClaimAddress(&address);
  for (int flooder = 0; flooder < 4; ++flooder) ASSERT_TRUE(strangers.Flood(address, length));
  for (int start = 0; start < 3; ++start) {
    SCOPED_TRACE("start " + std::to_string(start));
    ExpectALaterStartFindsAndRaises(false);
  }
  EXPECT_TRUE(children_.StillRunning(holder));
}

// A holder with no descriptor left cannot take a connection in; it drops it rather than leave it
// waiting (and its session thread spinning on it), and it still ends on a stop signal.
TEST_F(Session, AHolderOutOfDescriptorsDropsConnectionsAndStillStops) {
  const pid_t holder = StartHolder("starved", false);
  ASSERT_NE(holder, 0);
  sockaddr_un address;
  const socklen_t length = ClaimAddress(&address);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int socket = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    ASSERT_GE(socket, 0);
    const timeval bound{static_cast<time_t>(kPatience.count() / 1000), 0};
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    ASSERT_EQ(connect(socket, reinterpret_cast<const sockaddr*>(&address), length), 0);
    char byte;
    EXPECT_EQ(recv(socket, &byte, 1, 0), 0) << "the connection was left waiting";
    close(socket);
  }
  ASSERT_EQ(kill(holder, SIGTERM), 0);
  EXPECT_EQ(children_.ExitCodeWithin(holder), 0) << ErrorsOf("starved");
}

TEST_F(Session, StopSignalsCloseTheMainThreadsWindowAndEndWithZero) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const pid_t holder = StartHolder();
    ASSERT_NE(holder, 0);
    ASSERT_EQ(kill(holder, signal), 0);
    EXPECT_EQ(children_.ExitCodeWithin(holder), 0) << ErrorsOf("hold");
    EXPECT_EQ(FileText(OutputOf("hold")), "ready\nclose main\n")
        << "the worker's hidden window is its own thread's business";
  }
}

}  // namespace
}  // namespace platform::test
