// The SDL display and the desktop on a real X server: another program's window titled "Atlan"
// found and compared with the foreground, our window found and raised by a second process, the
// screen showing what the surfaces hold, and input arriving as window messages.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "platform/testing_display.h"
#include "tests/platform_drawing/dib_probe.h"
#include "tests/platform_drawing/x_client.h"

extern char** environ;

namespace platform::test {
namespace {

constexpr UINT_PTR kWatchdogTimer = 99;

bool IsEven(HWND window) { return (reinterpret_cast<std::uintptr_t>(window) & 1) == 0; }

class X11Display : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UseTestDisplay()) GTEST_SKIP() << "QUELT_TEST_DISPLAY names no X server";
    x_ = std::make_unique<XClient>();
    ASSERT_NE(x_->display, nullptr);
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.lpszClassName = u"QueltTestPanel";
    RegisterClassW(&window_class);
  }
  void TearDown() override {
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
  }

  // Our window, shown by the SDL display, with a picture on it.
  void ShowOurWindow(int x, int y, int width, int height) {
    window_ = CreateWindowExW(0, u"QueltTestPanel", u"Quelt Test", WS_POPUP | WS_VISIBLE, x, y,
                              width, height, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    Dib picture(width, height, 24, true);
    for (int row = 0; row < height; ++row) {
      for (int column = 0; column < width; ++column) {
        picture.SetPixel(column, row,
                         static_cast<Rgb>(column % 256) << 16 | (row % 256) << 8 | 0x40);
      }
    }
    HDC dc = GetDC(window_);
    BitBlt(dc, 0, 0, width, height, picture.dc, 0, 0, SRCCOPY);
    SetBkColor(dc, RGB(0, 0, 0));
    SetTextColor(dc, RGB(255, 255, 255));
    RECT line{0, 20, width, 60};
    DrawTextW(dc, u"  Dec.7 Mon am 9:05  ", -1, &line, DT_CENTER);
    ReleaseDC(window_, dc);
    PumpUntil([](const MSG& msg) { return msg.message == WM_PAINT; });
  }

  // Dispatches our thread's messages until one is wanted; false after 5 s without it.
  bool PumpUntil(const std::function<bool(const MSG&)>& wanted) {
    SetTimer(window_, kWatchdogTimer, 5000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (msg.message == WM_TIMER && msg.wParam == kWatchdogTimer) return false;
      const bool found = wanted(msg);
      DispatchMessageW(&msg);
      if (found) {
        if (IsWindow(window_)) KillTimer(window_, kWatchdogTimer);
        return true;
      }
    }
    return false;
  }

  std::unique_ptr<XClient> x_;
  HWND window_ = nullptr;
};

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

// Pixels where the X server's screen differs from the capture of our surfaces.
int DifferingPixels(XClient& x) {
  const std::vector<std::uint8_t> capture = testing::CaptureScreen();
  const std::vector<std::uint32_t> screen = x.Screen(800, 480);
  if (screen.size() != 800u * 480) return -1;
  int differing = 0;
  for (std::size_t i = 0; i < screen.size(); ++i) {
    const std::uint32_t captured = static_cast<std::uint32_t>(capture[3 * i]) << 16 |
                                   static_cast<std::uint32_t>(capture[3 * i + 1]) << 8 |
                                   capture[3 * i + 2];
    differing += captured != screen[i];
  }
  return differing;
}

TEST_F(X11Display, TheScreenShowsWhatTheCaptureShows) {
  ShowOurWindow(0, 0, 800, 480);
  EXPECT_EQ(DifferingPixels(*x_), 0);
}

// Only what changed is sent to the X server, from the window's own framebuffer: every change
// still arrives, whether it came from a DIB, a device bitmap copied whole or the same bitmap
// copied again after part of it changed, and a copy that changes nothing leaves the screen right.
TEST_F(X11Display, EveryLaterChangeReachesTheScreen) {
  ShowOurWindow(0, 0, 800, 480);
  Dib block(150, 80, 24, true);
  block.Fill(0x2080C0);
  DeviceBitmap back(800, 480);
  Dib lcd(614, 210, 24, true);
  lcd.Fill(0xFF1400);
  const std::function<void(HDC)> steps[] = {
      [&](HDC dc) { BitBlt(dc, 200, 100, 150, 80, block.dc, 0, 0, SRCCOPY); },
      [&](HDC dc) { BitBlt(dc, 0, 0, 800, 480, back.dc, 0, 0, SRCCOPY); },
      [&](HDC dc) {
        BitBlt(back.dc, 93, 61, 614, 210, lcd.dc, 0, 0, SRCCOPY);
        BitBlt(dc, 0, 0, 800, 480, back.dc, 0, 0, SRCCOPY);
      },
      [&](HDC dc) { BitBlt(dc, 0, 0, 800, 480, back.dc, 0, 0, SRCCOPY); },
  };
  for (std::size_t step = 0; step < std::size(steps); ++step) {
    HDC dc = GetDC(window_);
    steps[step](dc);
    ReleaseDC(window_, dc);
    EXPECT_EQ(DifferingPixels(*x_), 0) << "after step " << step;
  }
}

TEST_F(X11Display, ClicksAndKeysArriveAsMessagesInWindowCoordinates) {
  ShowOurWindow(100, 60, 400, 300);
  ASSERT_EQ(std::system("xdotool mousemove --sync 150 100 click 1"), 0);
  MSG down{}, up{};
  ASSERT_TRUE(PumpUntil([&](const MSG& msg) {
    if (msg.message == WM_LBUTTONDOWN) down = msg;
    if (msg.message == WM_LBUTTONUP) up = msg;
    return up.message == WM_LBUTTONUP;
  }));
  EXPECT_EQ(down.hwnd, window_);
  EXPECT_EQ(LOWORD(down.lParam), 50);
  EXPECT_EQ(HIWORD(down.lParam), 40);
  EXPECT_EQ(up.lParam, down.lParam);
  ASSERT_TRUE(SetForegroundWindow(window_));
  ASSERT_EQ(std::system("xdotool key ctrl+a"), 0);
  MSG key{};
  ASSERT_TRUE(PumpUntil([&](const MSG& msg) {
    if (msg.message == WM_KEYDOWN && msg.wParam == 'A') key = msg;
    return key.message == WM_KEYDOWN;
  }));
  EXPECT_NE(key.lParam & (LPARAM{1} << 25), 0) << "Ctrl held";
}

TEST_F(X11Display, ExposureRepaintsAndACloseRequestArrivesAsWmClose) {
  ShowOurWindow(0, 0, 400, 300);
  const Window cover = x_->CreateWindow("Cover", "Cover", 50, 50, 100, 100, true);
  XUnmapWindow(x_->display, cover);
  XSync(x_->display, False);
  EXPECT_TRUE(PumpUntil([](const MSG& msg) { return msg.message == WM_PAINT; }));
  const Window ours = x_->FindByTitle("Quelt Test");
  ASSERT_NE(ours, 0u);
  x_->SendDeleteRequest(ours);
  EXPECT_TRUE(PumpUntil([](const MSG& msg) { return msg.message == WM_CLOSE; }));
  EXPECT_FALSE(IsWindow(window_)) << "DefWindowProcW destroys the window";
  EXPECT_EQ(x_->FindByTitle("Quelt Test"), 0u);
}

// While the box waits, the owner's timer brings the owner forward, notes whether the box stayed
// on top, and answers the box with Return, as a user would. A box that never shows up ends the
// wait with a quit message after 10 s: the modal loop then returns 0 instead of IDOK.
XClient* box_answerer = nullptr;
int box_ticks = 0;
bool box_stayed_on_top = false;

LRESULT AnswerTheBox(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER && wparam == 1) {
    if (++box_ticks == 50) PostQuitMessage(0);
    const Window box = box_answerer->FindByTitle("Quelt Box Test");
    if (box) {
      SetForegroundWindow(window);
      box_stayed_on_top = box_answerer->Topmost() == box;
      box_answerer->Focus(box);
      std::system("xdotool key Return");
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

TEST_F(X11Display, ARealMessageBoxWaitsForTheUserWhileTheLoopRuns) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = AnswerTheBox;
  window_class.lpszClassName = u"BoxOwner";
  RegisterClassW(&window_class);
  window_ = CreateWindowExW(0, u"BoxOwner", u"Owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                            nullptr, nullptr, nullptr, nullptr);
  box_answerer = x_.get();
  SetTimer(window_, 1, 200, nullptr);
  EXPECT_EQ(MessageBoxW(window_, u"Error in Load Bitmap !", u"Quelt Box Test", MB_OK), IDOK);
  EXPECT_GE(box_ticks, 1) << "the owner's timer ran while the box was up";
  EXPECT_TRUE(box_stayed_on_top) << "above its owner brought forward";
  EXPECT_EQ(x_->FindByTitle("Quelt Box Test"), 0u) << "gone once answered";
  const auto boxes = testing::MessageBoxesShown();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().caption, u"Quelt Box Test");
}

}  // namespace
}  // namespace platform::test
