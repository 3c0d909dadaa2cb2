// The SDL display on a real X server: the screen showing what the surfaces hold, input arriving as
// window messages, exposure and close, and a real message box.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "tests/platform_display/x11_window_fixture.h"

namespace platform::test {
namespace {

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

// Another thread's posts wake the display thread in its wait without the X server: each post
// waits for the one before to arrive, so most of them find the display thread asleep, and a wake
// lost on the way would leave it asleep until the watchdog. Input still arrives between them.
TEST_F(X11Display, EveryPostFromAnotherThreadEndsTheDisplaysWait) {
  ShowOurWindow(0, 0, 400, 300);
  constexpr UINT kNumbered = WM_USER + 7;
  constexpr WPARAM kPosts = 200;
  std::atomic<WPARAM> received{0};
  std::thread poster([&] {
    for (WPARAM n = 0; n < kPosts; ++n) {
      while (received.load() < n) std::this_thread::yield();
      PostMessageW(window_, kNumbered, n, 0);
    }
  });
  bool in_order = true;
  const bool all = PumpUntil([&](const MSG& msg) {
    if (msg.message != kNumbered) return false;
    in_order = in_order && msg.wParam == received.load();
    received = msg.wParam + 1;
    return received.load() == kPosts;
  });
  received = kPosts;  // lets the poster end even when a post went missing
  poster.join();
  EXPECT_TRUE(all);
  EXPECT_TRUE(in_order);
  ASSERT_EQ(std::system("xdotool mousemove --sync 50 50 click 1"), 0);
  EXPECT_TRUE(PumpUntil([](const MSG& msg) { return msg.message == WM_LBUTTONUP; }));
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
