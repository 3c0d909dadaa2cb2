// The program itself, as a user starts it, on a real X server (the Xvfb that the test script
// starts): it stays hidden until the controller asks for it, a second start hands over to the
// first and ends, and the window manager's close ends it with 0.
#include <gtest/gtest.h>

// After gtest: Xlib defines macros (None, Bool, Status) that gtest's headers would trip over.
#include <X11/Xlib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Real processes and a real server: waits are bounded polls, generous for a loaded machine.
constexpr auto PatienceLimit = 30s;

template <typename Condition>
bool WaitFor(Condition condition) {
  const auto give_up = std::chrono::steady_clock::now() + PatienceLimit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

Window FindWindowTitled(Display* display, Window parent, const char* title) {
  Window root_return, parent_return, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, parent, &root_return, &parent_return, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name) {
      if (std::strcmp(name, title) == 0) found = children[i];
      XFree(name);
    }
    if (!found) found = FindWindowTitled(display, children[i], title);
  }
  if (children) XFree(children);
  return found;
}

class ProgramOnX : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display_name = std::getenv("QUELT_TEST_DISPLAY");
    if (!display_name) GTEST_SKIP() << "no X server: QUELT_TEST_DISPLAY is not set";
    display_name_ = display_name;
    display_ = XOpenDisplay(display_name);
    ASSERT_NE(display_, nullptr) << "cannot open " << display_name;
    char folder[] = "/tmp/quelt-x-card-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    card_ = folder;
    fs::create_directories(card_ + "/App");
    fs::copy_file(fs::path(QUELT_SOURCE_DIR) / "resources/storage-card/QUELTIMAGE.bmp",
                  card_ + "/QUELTIMAGE.bmp");
    const std::string home = card_ + "/App/hbHome.exe";
    std::ofstream(home) << "#!/bin/sh\necho started >> '" << card_ << "/home.log'\n";
    chmod(home.c_str(), 0755);
  }

  void TearDown() override {
    for (pid_t pid : started_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (display_) XCloseDisplay(display_);
    if (!card_.empty()) fs::remove_all(card_);
  }

  pid_t StartPanel() {
    std::vector<std::string> settings = {"DISPLAY=" + display_name_, "QUELT_STORAGE_CARD=" + card_,
                                         // No link device: nothing asks for the window.
                                         "QUELT_LINK_DEVICES=", "PATH=/usr/bin:/bin"};
    // A sanitizer build of the program reads its options from the environment too.
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
      if (const char* value = std::getenv(name))
        settings.push_back(std::string(name) + "=" + value);
    }
    std::vector<char*> environment;
    for (std::string& setting : settings) environment.push_back(setting.data());
    environment.push_back(nullptr);
    char* arguments[] = {const_cast<char*>(QUELT_PANEL_PROGRAM), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, QUELT_PANEL_PROGRAM, nullptr, nullptr, arguments, environment.data())) {
      return 0;
    }
    started_.push_back(pid);
    return pid;
  }

  // The exit code once the process ended within the patience limit, else -1.
  int ExitCodeOf(pid_t pid) {
    int status = 0;
    bool ended = WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; });
    if (!ended) return -1;
    started_.erase(std::find(started_.begin(), started_.end(), pid));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  int HomeProgramStarts() {
    std::ifstream log(card_ + "/home.log");
    int starts = 0;
    for (std::string line; std::getline(log, line);) ++starts;
    return starts;
  }

  void RequestClose(Window window) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XFlush(display_);
  }

  std::string display_name_;
  Display* display_ = nullptr;
  std::string card_;
  std::vector<pid_t> started_;
};

TEST_F(ProgramOnX, StaysHiddenHandsOverToSecondStartAndClosesWithZero) {
  pid_t first = StartPanel();
  ASSERT_NE(first, 0);
  Window window = 0;
  ASSERT_TRUE(WaitFor([&] {
    window = FindWindowTitled(display_, DefaultRootWindow(display_), "QUELT_VER120");
    return window != 0;
  })) << "the panel's window never appeared on the X server";
  ASSERT_TRUE(WaitFor([&] { return HomeProgramStarts() == 1; }));
  XWindowAttributes attributes = {};
  ASSERT_TRUE(XGetWindowAttributes(display_, window, &attributes));
  EXPECT_NE(attributes.map_state, IsViewable) << "the window shows before the controller asks";

  pid_t second = StartPanel();
  ASSERT_NE(second, 0);
  EXPECT_EQ(ExitCodeOf(second), 0);
  EXPECT_TRUE(WaitFor([&] { return HomeProgramStarts() == 2; }));
  EXPECT_EQ(waitpid(first, nullptr, WNOHANG), 0) << "the first instance must keep running";

  RequestClose(window);
  EXPECT_EQ(ExitCodeOf(first), 0);
}

}  // namespace
