// The desktop session across real processes, headless: a later start finds the holder's window,
// has it brought to the front and gets no top-level window of its own; a stop signal closes the
// holder's main-thread window, not a worker's, and the holder ends with 0.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "tests/platform_desktop/child_processes.h"

namespace platform::test {
namespace {

class Session : public ::testing::Test {
 protected:
  // A runtime folder of the test's own scopes the claim, so tests running at once never meet.
  pid_t Start(const std::string& role) {
    return children_.Start(
        QUELT_SESSION_HELPER, {role},
        {"PATH=/usr/bin:/bin", "QUELT_DISPLAY=headless", "XDG_RUNTIME_DIR=" + folder_.path()},
        OutputOf(role), folder_.path() + "/" + role + ".err");
  }
  std::string OutputOf(const std::string& role) { return folder_.path() + "/" + role + ".out"; }
  std::string ErrorsOf(const std::string& role) {
    return FileText(folder_.path() + "/" + role + ".err");
  }

  pid_t StartHolder() {
    const pid_t holder = Start("hold");
    if (holder && !WaitFor([&] { return FileText(OutputOf("hold")) == "ready\n"; })) {
      ADD_FAILURE() << "the holder never got ready: " << FileText(OutputOf("hold"))
                    << ErrorsOf("hold");
    }
    return holder;
  }

  ScratchFolder folder_;
  ChildProcesses children_;
};

TEST_F(Session, ALaterStartFindsAndRaisesTheHoldersWindowButGetsNoneOfItsOwn) {
  const pid_t holder = StartHolder();
  ASSERT_NE(holder, 0);
  const pid_t later = Start("later");
  ASSERT_NE(later, 0);
  EXPECT_EQ(children_.ExitCodeWithin(later), 0) << ErrorsOf("later");
  EXPECT_EQ(FileText(OutputOf("later")), "found raised refused\n");
  EXPECT_NE(ErrorsOf("hold").find("another start asked for \"Session Test\" to come to the front: "
                                  "brought to the front"),
            std::string::npos)
      << ErrorsOf("hold");
  EXPECT_TRUE(children_.StillRunning(holder));
}

TEST_F(Session, WithoutAHolderTheFirstToJoinGetsItsWindow) {
  const pid_t first = Start("later");
  ASSERT_NE(first, 0);
  EXPECT_EQ(children_.ExitCodeWithin(first), 0) << ErrorsOf("later");
  EXPECT_EQ(FileText(OutputOf("later")), "not-found not-raised created\n");
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
