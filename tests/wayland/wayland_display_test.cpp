// The Wayland display against a compositor of the tests' own (fake_compositor.h), through the
// platform's public calls: how large a window it makes of a compositor's offer, what it says when
// shared memory cannot be had, which pen a pointer leaving lifts, and who is in front at once after
// asking for the front.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/platform_desktop/child_processes.h"
#include "tests/wayland/fake_compositor.h"

namespace platform::test {
namespace {

constexpr UINT_PTR kTick = 77;
// Ticks of 10 ms before a wait gives up: it only stops a hung test.
constexpr int kPatienceTicks = 3000;

struct PenMessage {
  UINT message;
  int x, y;
  bool operator==(const PenMessage& other) const {
    return message == other.message && x == other.x && y == other.y;
  }
};
std::ostream& operator<<(std::ostream& out, const PenMessage& pen) {
  return out << (pen.message == WM_LBUTTONDOWN ? "down" : "up") << " at " << pen.x << "," << pen.y;
}
std::vector<PenMessage> pen_messages;

LRESULT RecordPen(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP) {
    pen_messages.push_back(
        {message, static_cast<int>(lparam & 0xffff), static_cast<int>((lparam >> 16) & 0xffff)});
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

class WaylandDisplay : public ::testing::Test {
 protected:
  // One compositor for the process: the display connects once, at the first window.
  static void SetUpTestSuite() {
    folder_ = new ScratchFolder;
    unsetenv("DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("QUELT_DISPLAY");
    unsetenv("QUELT_FULLSCREEN");
    setenv("WAYLAND_DISPLAY", "quelt-test-wayland", 1);
    compositor_ = new FakeCompositor(folder_->path(), "quelt-test-wayland");
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = RecordPen;
    window_class.lpszClassName = u"QueltWaylandTest";
    RegisterClassW(&window_class);
    // Hidden, so never on the compositor: it connects the display and carries the waits' ticks.
    pump_window_ = CreateWindowExW(0, u"QueltWaylandTest", u"pump", WS_POPUP, 0, 0, 1, 1, nullptr,
                                   nullptr, nullptr, nullptr);
  }

  void SetUp() override {
    compositor_->Offer(0, 0);
    compositor_->FocusOnMap(true);
    pen_messages.clear();
    before_ = compositor_->Snapshot();
  }

  void TearDown() override {
    if (!window_) return;
    DestroyWindow(window_);
    window_ = nullptr;
    // The toplevel is gone on the compositor before the next test shows one.
    EXPECT_TRUE(PumpUntil([] { return compositor_->Snapshot().mapped_toplevels == 0; }));
  }

  // A window of 800 x 480 picture pixels, not shown yet.
  void CreateOurWindow() {
    window_ = CreateWindowExW(0, u"QueltWaylandTest", u"Quelt Wayland Test", WS_POPUP, 0, 0, 800,
                              480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
  }

  void Redraw() {
    HDC dc = GetDC(window_);
    RECT line{0, 0, 800, 40};
    DrawTextW(dc, u"redrawn", -1, &line, 0);
    ReleaseDC(window_, dc);
  }

  // Dispatches our messages, waking every 10 ms, until condition() holds.
  bool PumpUntil(const std::function<bool()>& condition) {
    SetTimer(pump_window_, kTick, 10, nullptr);
    MSG msg;
    bool held = condition();
    for (int ticks = 0; !held && ticks < kPatienceTicks && GetMessageW(&msg, nullptr, 0, 0) > 0;) {
      if (msg.message == WM_TIMER && msg.wParam == kTick) ++ticks;
      DispatchMessageW(&msg);
      held = condition();
    }
    KillTimer(pump_window_, kTick);
    return held;
  }

  bool PumpUntilShown() {
    return PumpUntil([] { return compositor_->Snapshot().mapped_toplevels == 1; });
  }

  // Left to the process's end: the display thread's connection outlives every test.
  static ScratchFolder* folder_;
  static FakeCompositor* compositor_;
  static HWND pump_window_;
  HWND window_ = nullptr;
  // What the compositor had seen when the test began: the counts below are since then.
  CompositorView before_;
};

ScratchFolder* WaylandDisplay::folder_ = nullptr;
FakeCompositor* WaylandDisplay::compositor_ = nullptr;
HWND WaylandDisplay::pump_window_ = nullptr;

// 65535 x 65535 would be 17 GB of shared memory, and its sizes overflow the protocol's 32 bits.
TEST_F(WaylandDisplay, AHugeOfferGetsABufferOfASaneSize) {
  compositor_->Offer(65535, 65535);
  CreateOurWindow();
  ShowWindow(window_, SW_SHOW);
  ASSERT_TRUE(PumpUntilShown());
  const CompositorView seen = compositor_->Snapshot();
  EXPECT_EQ(seen.buffer_width, 4096);
  EXPECT_EQ(seen.buffer_height, 4096);
  EXPECT_EQ(seen.largest_pool, std::int64_t{4096} * 4096 * 4);
}

// Shared memory refused (here: memfd files may not grow beyond 1 MB, and a window needs 1.5 MB)
// is said once, however many redraws fail, and the next redraw after it is back shows the window.
TEST_F(WaylandDisplay, SharedMemoryRefusedIsSaidOnceAndTriedAgainAtTheNextRedraw) {
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 1 << 20;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ::testing::internal::CaptureStderr();
  CreateOurWindow();
  ShowWindow(window_, SW_SHOW);
  const bool configured = PumpUntil([&] {
    return compositor_->Snapshot().configures_acknowledged > before_.configures_acknowledged;
  });
  Redraw();
  Redraw();
  setrlimit(RLIMIT_FSIZE, &before);
  const std::string said = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(configured);
  EXPECT_EQ(compositor_->Snapshot().mapped_toplevels, 0);
  const std::string line = "no shared memory for \"Quelt Wayland Test\" (1536000 bytes, ftruncate";
  EXPECT_NE(said.find(line), std::string::npos) << said;
  EXPECT_EQ(said.find(line), said.rfind(line)) << "said more than once: " << said;
  Redraw();
  EXPECT_TRUE(PumpUntilShown());
}

// A finger held on the window stays down when the pointer passes over the window and leaves:
// it lifts where the finger lifts, not where the pointer left.
TEST_F(WaylandDisplay, APointerLeavingLiftsNoFingerHeldOnTheWindow) {
  CreateOurWindow();
  ShowWindow(window_, SW_SHOW);
  ASSERT_TRUE(PumpUntilShown());
  compositor_->TouchDown(100, 100);
  ASSERT_TRUE(PumpUntil([] { return !pen_messages.empty(); }));
  compositor_->PointerEnter(300, 300);
  compositor_->PointerLeave();
  compositor_->TouchMove(200, 200);
  compositor_->TouchUp();
  ASSERT_TRUE(PumpUntil([] { return pen_messages.size() >= 2; }));
  EXPECT_EQ(pen_messages,
            (std::vector<PenMessage>{{WM_LBUTTONDOWN, 100, 100}, {WM_LBUTTONUP, 200, 200}}));
}

// Shown and asked to the front at once, as the controller's show and in-front questions come:
// the answer is the compositor's, and the window is not shown a second time to get it.
TEST_F(WaylandDisplay, AWindowAskedToTheFrontIsInFrontAtOnceWithoutShowingTwice) {
  CreateOurWindow();
  ShowWindow(window_, SW_SHOW);
  EXPECT_TRUE(SetForegroundWindow(window_));
  EXPECT_EQ(GetForegroundWindow(), window_);
  EXPECT_TRUE(SetForegroundWindow(window_));
  EXPECT_EQ(GetForegroundWindow(), window_);
  EXPECT_EQ(compositor_->Snapshot().toplevels_made, before_.toplevels_made + 1)
      << "the window flickered";
}

}  // namespace
}  // namespace platform::test
