// The program itself, headless, as a head unit's boot and its service manager treat it: a second
// start hands over to the running panel and ends, two starts at once leave one panel, and the
// stop signals end a streaming panel through its shut-down with 0.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "tests/app/program_fixture.h"

namespace {

using platform::test::kAtOnce;
using platform::test::WaitFor;

class HeadlessProgram : public RealProgram {
 protected:
  pid_t StartPanel(const std::string& link_devices = "sim") {
    return RealProgram::StartPanel(
        {"QUELT_DISPLAY=headless", "QUELT_LINK_DEVICES=" + link_devices});
  }

  int LineCount(const std::string& path) {
    std::ifstream file(path);
    int lines = 0;
    for (std::string line; std::getline(file, line);) ++lines;
    return lines;
  }
};

TEST_F(HeadlessProgram, ASecondStartLaunchesTheHomeProgramAsksTheFirstToTheFrontAndEnds) {
  const pid_t first = StartPanel();
  ASSERT_NE(first, 0);
  // The first launches the home program right after its window exists.
  ASSERT_TRUE(WaitFor([&] { return HomeProgramStarts() == 1; })) << ErrorsOf(first);
  const pid_t second = StartPanel();
  ASSERT_NE(second, 0);
  EXPECT_EQ(children_.ExitCodeWithin(second, kAtOnce), 0) << ErrorsOf(second);
  EXPECT_TRUE(WaitFor([&] { return HomeProgramStarts() == 2; }));
  EXPECT_TRUE(WaitFor([&] {
    return ErrorsOf(first).find("another start asked for \"QUELT_VER120\" to come to the front") !=
           std::string::npos;
  })) << ErrorsOf(first);
  EXPECT_TRUE(children_.StillRunning(first)) << "the first panel must keep running";
}

TEST_F(HeadlessProgram, TwoStartsAtOnceLeaveOnePanel) {
  const pid_t a = StartPanel();
  const pid_t b = StartPanel();
  ASSERT_TRUE(a != 0 && b != 0);
  ASSERT_TRUE(WaitFor([&] { return !children_.StillRunning(a) || !children_.StillRunning(b); }))
      << "both panels still run";
  const pid_t gone = children_.StillRunning(a) ? b : a;
  const pid_t panel = gone == a ? b : a;
  EXPECT_EQ(children_.ExitCodeWithin(gone), 0) << ErrorsOf(gone);
  ASSERT_TRUE(children_.StillRunning(panel)) << ErrorsOf(panel);
  // The one left is a panel that works: it ends on request.
  ASSERT_EQ(kill(panel, SIGTERM), 0);
  EXPECT_EQ(children_.ExitCodeWithin(panel), 0) << ErrorsOf(panel);
  // Whether the later start found the window already (and launched the home program) or was
  // refused a window of its own depends on the moment.
  EXPECT_GE(HomeProgramStarts(), 1);
  EXPECT_LE(HomeProgramStarts(), 2);
}

TEST_F(HeadlessProgram, StopSignalsEndAStreamingPanelThroughItsShutDown) {
  // Orphans of the panel become this process's children, so whatever it leaves behind is seen.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const std::string packets = FolderPath("packets-" + std::to_string(signal));
    const pid_t panel = StartPanel("sim:trace=" + packets);
    ASSERT_NE(panel, 0);
    // The four start-up packets, then heartbeats: the link thread streams, the main loop runs.
    ASSERT_TRUE(WaitFor([&] { return LineCount(packets) >= 6; })) << ErrorsOf(panel);
    ASSERT_EQ(kill(panel, signal), 0);
    EXPECT_EQ(children_.ExitCodeWithin(panel, kAtOnce), 0) << ErrorsOf(panel);
    EXPECT_EQ(ErrorsOf(panel).find("Sanitizer"), std::string::npos) << ErrorsOf(panel);
    EXPECT_TRUE(WaitFor([] { return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }))
        << "a process that the panel started is still there";
  }
}

}  // namespace
