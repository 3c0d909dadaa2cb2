// The program itself, as a user starts it, on a real X server (the Xvfb that the test script
// starts): it stays hidden until the controller asks for it, a second start hands over to the
// first and ends, and the window manager's close, or another client destroying its window, ends
// it with 0; the X server going away ends it with 1.
#include <gtest/gtest.h>

// After gtest: Xlib defines macros (None, Bool, Status) that gtest's headers would trip over.
#include <X11/Xlib.h>
#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/app/program_fixture.h"

namespace {

using platform::test::WaitFor;

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

class ProgramOnX : public RealProgram {
 protected:
  void SetUp() override {
    const char* display_name = std::getenv("QUELT_TEST_DISPLAY");
    if (!display_name) GTEST_SKIP() << "no X server: QUELT_TEST_DISPLAY is not set";
    display_name_ = display_name;
    display_ = XOpenDisplay(display_name);
    ASSERT_NE(display_, nullptr) << "cannot open " << display_name;
    RealProgram::SetUp();
  }

  void TearDown() override {
    if (display_) XCloseDisplay(display_);
  }

  pid_t StartPanel(const std::string& link_devices) {
    return RealProgram::StartPanel(
        {"DISPLAY=" + display_name_, "QUELT_LINK_DEVICES=" + link_devices});
  }

  Window PanelWindow() {
    Window window = 0;
    WaitFor([&] {
      window = FindWindowTitled(display_, DefaultRootWindow(display_), "QUELT_VER120");
      return window != 0;
    });
    return window;
  }

  bool Viewable(Window window) {
    XWindowAttributes attributes = {};
    return XGetWindowAttributes(display_, window, &attributes) &&
           attributes.map_state == IsViewable;
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
};

TEST_F(ProgramOnX, StaysHiddenHandsOverToSecondStartAndClosesWithZero) {
  // No link device: nothing asks for the window.
  const pid_t first = StartPanel("");
  ASSERT_NE(first, 0);
  const Window window = PanelWindow();
  ASSERT_NE(window, 0u) << "the panel's window never appeared on the X server";
  ASSERT_TRUE(WaitFor([&] { return HomeProgramStarts() == 1; }));
  EXPECT_FALSE(Viewable(window)) << "the window shows before the controller asks";

  const pid_t second = StartPanel("");
  ASSERT_NE(second, 0);
  EXPECT_EQ(children_.ExitCodeWithin(second), 0);
  EXPECT_TRUE(WaitFor([&] { return HomeProgramStarts() == 2; }));
  EXPECT_TRUE(children_.StillRunning(first)) << "the first instance must keep running";

  RequestClose(window);
  EXPECT_EQ(children_.ExitCodeWithin(first), 0);
}

// As xdotool windowclose does: the window goes from the server under the program's feet. Its
// requests on the dead window fail with X errors, which must not end it with 1.
TEST_F(ProgramOnX, WindowDestroyedByAnotherClientReleasesAndEndsWithZero) {
  const pid_t panel = StartPanel("sim");
  ASSERT_NE(panel, 0);
  const Window window = PanelWindow();
  ASSERT_NE(window, 0u) << "the panel's window never appeared on the X server";
  ASSERT_TRUE(WaitFor([&] { return Viewable(window); })) << "the simulator shows the panel";
  const pid_t close =
      children_.Start("/usr/bin/xdotool", {"windowclose", std::to_string(window)},
                      {"DISPLAY=" + display_name_}, "/dev/null", FolderPath("xdotool.err"));
  ASSERT_NE(close, 0);
  ASSERT_EQ(children_.ExitCodeWithin(close), 0)
      << platform::test::FileText(FolderPath("xdotool.err"));
  EXPECT_EQ(children_.ExitCodeWithin(panel), 0) << ErrorsOf(panel);
}

// The server ends under the shown panel (it crashed, or the session ended). Xlib's own answer
// left the program spinning in its exit now and then, so three rounds.
TEST_F(ProgramOnX, EndsWithOneWhenTheXServerGoes) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string number_file = FolderPath("xvfb-" + std::to_string(round));
    const pid_t server = children_.Start(
        "/usr/bin/Xvfb", {"-displayfd", "1", "-screen", "0", "800x480x24", "-nolisten", "tcp"}, {},
        number_file, "/dev/null");
    ASSERT_NE(server, 0);
    std::string number;
    ASSERT_TRUE(WaitFor([&] {
      number = platform::test::FileText(number_file);
      return !number.empty() && number.back() == '\n';
    })) << "Xvfb gave no display number";
    const std::string server_name = ":" + number.substr(0, number.size() - 1);
    Display* watcher = XOpenDisplay(server_name.c_str());
    ASSERT_NE(watcher, nullptr) << "cannot open " << server_name;
    const pid_t panel =
        RealProgram::StartPanel({"DISPLAY=" + server_name, "QUELT_LINK_DEVICES=sim"});
    ASSERT_NE(panel, 0);
    const bool shown = WaitFor([&] {
      const Window window = FindWindowTitled(watcher, DefaultRootWindow(watcher), "QUELT_VER120");
      XWindowAttributes attributes = {};
      return window != 0 && XGetWindowAttributes(watcher, window, &attributes) &&
             attributes.map_state == IsViewable;
    });
    XCloseDisplay(watcher);
    ASSERT_TRUE(shown) << "the simulator shows the panel";

    // Asked to end, the server removes its socket and lock file, which later servers (and
    // weston's, in the compositor test) would otherwise trip over.
    kill(server, SIGTERM);
    EXPECT_EQ(children_.ExitCodeWithin(panel), 1) << ErrorsOf(panel);
    EXPECT_EQ(children_.ExitCodeWithin(server), 0);
    EXPECT_NE(ErrorsOf(panel).find("the connection to the X server " + server_name +
                                   " is broken; ending"),
              std::string::npos)
        << ErrorsOf(panel);
  }
}

}  // namespace
