// The desktop on a real X server: another program's window titled "Atlan" found and compared with
// the foreground, the window manager's view of the active window, and our window found and raised
// by a second process.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include "tests/platform_display/x11_window_fixture.h"

extern char** environ;

namespace platform::test {
namespace {

TEST_F(X11Display, AnotherProgramsWindowIsFoundByTitleAndIsForegroundWhenActive) {
  const Window atlan = x_->CreateWindow("Atlan", "Navigation", 0, 0, 300, 200, true);
  const Window other = x_->CreateWindow("Radio", "Radio", 300, 0, 300, 200, true);
  const HWND found = FindWindowW(nullptr, u"Atlan");
  ASSERT_NE(found, nullptr);
  EXPECT_TRUE(IsEven(found));
  EXPECT_EQ(FindWindowW(nullptr, u"Atlan"), found) << "the same handle every time";
  EXPECT_EQ(FindWindowW(u"Navigation", u"Atlan"), found);
  EXPECT_EQ(FindWindowW(u"Radio", u"Atlan"), nullptr);
  EXPECT_EQ(FindWindowW(nullptr, u"Atlantis"), nullptr);
  x_->Focus(atlan);
  EXPECT_EQ(GetForegroundWindow(), found);
  x_->Focus(other);
  EXPECT_NE(GetForegroundWindow(), found);
  EXPECT_NE(GetForegroundWindow(), nullptr);
  // Raising it by a handle with the lowest bit set.
  EXPECT_TRUE(
      SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(found) | 1)));
  EXPECT_EQ(x_->FocusedWindow(), atlan);
  EXPECT_EQ(GetForegroundWindow(), found);
}

TEST_F(X11Display, UnmappedWindowsAreFoundToo) {
  x_->CreateWindow("Atlan", "Navigation", 0, 0, 300, 200, false);
  EXPECT_NE(FindWindowW(nullptr, u"Atlan"), nullptr);
}

TEST_F(X11Display, TheWindowManagersActiveWindowOutranksTheFocus) {
  const Window atlan = x_->CreateWindow("Atlan", "Navigation", 0, 0, 300, 200, true);
  const Window other = x_->CreateWindow("Radio", "Radio", 300, 0, 300, 200, true);
  x_->Focus(other);
  x_->SetRootWindowProperty("_NET_ACTIVE_WINDOW", atlan);
  x_->SetRootWindowProperty("_NET_CLIENT_LIST", atlan);
  EXPECT_EQ(GetForegroundWindow(), FindWindowW(nullptr, u"Atlan"));
  x_->DeleteRootProperty("_NET_ACTIVE_WINDOW");
  x_->DeleteRootProperty("_NET_CLIENT_LIST");
  EXPECT_EQ(GetForegroundWindow(), FindWindowW(nullptr, u"Radio"));
}

TEST_F(X11Display, ASecondProcessFindsOurWindowByClassAndTitleAndRaisesIt) {
  ShowOurWindow(0, 0, 800, 480);
  const Window atlan = x_->CreateWindow("Atlan", "Navigation", 0, 0, 800, 480, true);
  x_->Focus(atlan);
  EXPECT_NE(GetForegroundWindow(), window_);
  pid_t child;
  char program[] = QUELT_RAISE_HELPER;
  char class_name[] = "QueltTestPanel";
  char title[] = "Quelt Test";
  char* arguments[] = {program, class_name, title, nullptr};
  ASSERT_EQ(posix_spawn(&child, program, nullptr, nullptr, arguments, environ), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not found, 3: not raised";
  EXPECT_EQ(GetForegroundWindow(), window_);
}

}  // namespace
}  // namespace platform::test
