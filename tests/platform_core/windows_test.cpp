// Windows and messages on one thread: creation and destruction with their sent messages, the
// queue's order (posted, quit, paint, timer), painting, and calls with bad handles or pointers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/internal/module_interfaces.h"
#include "platform/testing_display.h"
#include "platform/win32.h"
#include "scripted_window.h"

namespace {

using platform::test::CreateScriptedWindow;
using platform::test::kDefault;
using platform::test::RegisterScriptedClass;

struct Received {
  HWND window;
  UINT message;
  WPARAM wparam;
  bool operator==(const Received& other) const {
    return window == other.window && message == other.message && wparam == other.wparam;
  }
};

class OneThread : public ::testing::Test {
 protected:
  void SetUp() override { platform::testing::ForceHeadlessDisplay(); }
  void TearDown() override { platform::test::ResetScriptedClasses(); }

  // A class (named after the test) whose procedure records every message and lets
  // DefWindowProcW answer.
  std::u16string RecordingClass() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    class_name_.assign(name.begin(), name.end());
    EXPECT_NE(RegisterScriptedClass(class_name_.c_str(),
                                    [this](HWND window, UINT message, WPARAM w, LPARAM) {
                                      received_.push_back({window, message, w});
                                      return kDefault;
                                    }),
              0);
    return class_name_;
  }

  // Retrieves and dispatches messages up to and including a WM_QUIT posted now.
  std::vector<Received> PumpUntilQuit() {
    PostQuitMessage(77);
    std::vector<Received> taken;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      taken.push_back({msg.hwnd, msg.message, msg.wParam});
      DispatchMessageW(&msg);
    }
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 77u);
    return taken;
  }

  std::u16string class_name_;
  std::vector<Received> received_;
};

TEST_F(OneThread, CreateSendsWmCreateDuringTheCall) {
  CREATESTRUCTW seen{};
  int param = 0;
  RegisterScriptedClass(u"Creating", [&](HWND, UINT message, WPARAM, LPARAM l) {
    if (message == WM_CREATE) seen = *reinterpret_cast<const CREATESTRUCTW*>(l);
    return kDefault;
  });
  HWND window = CreateWindowExW(0, u"creating", u"Title", WS_BORDER, 10, 20, 300, 200, nullptr,
                                nullptr, nullptr, &param);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(seen.lpCreateParams, &param);
  EXPECT_EQ(seen.cx, 300);
  EXPECT_EQ(seen.cy, 200);
  EXPECT_EQ(std::u16string(seen.lpszName), u"Title");
  RECT rect{};
  ASSERT_TRUE(GetWindowRect(window, &rect));
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.bottom, 220);
  EXPECT_FALSE(IsWindowVisible(window));
  DestroyWindow(window);
}

TEST_F(OneThread, CreationAnsweredWithMinusOneFails) {
  std::vector<UINT> seen;
  RegisterScriptedClass(u"Refusing", [&](HWND, UINT message, WPARAM, LPARAM) {
    seen.push_back(message);
    return message == WM_CREATE ? LRESULT{-1} : kDefault;
  });
  EXPECT_EQ(CreateScriptedWindow(u"Refusing"), nullptr);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_CREATE, WM_DESTROY}));
  int windows = 0;
  platform::ForEachWindow([&](const platform::WindowInfo&) { ++windows; });
  EXPECT_EQ(windows, 0);
}

TEST_F(OneThread, DestroySendsWmDestroyAndKillsTheHandle) {
  RecordingClass();
  HWND window = CreateScriptedWindow(class_name_.c_str());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(window) & 1, 0u);
  ASSERT_TRUE(SetTimer(window, 1, 400, nullptr));
  ASSERT_TRUE(DestroyWindow(window));
  EXPECT_EQ(received_.back(), (Received{window, WM_DESTROY, 0}));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_FALSE(KillTimer(window, 1));
  // A new window never gets a dead window's handle.
  HWND next = CreateScriptedWindow(class_name_.c_str());
  EXPECT_NE(next, window);
  DestroyWindow(next);
}

TEST_F(OneThread, HandleWithLowestBitSetNamesTheSameWindow) {
  RecordingClass();
  HWND window = CreateScriptedWindow(class_name_.c_str());
  HWND odd = reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(window) | 1);
  EXPECT_TRUE(IsWindow(odd));
  EXPECT_TRUE(PostMessageW(odd, WM_USER, 5, 0));
  EXPECT_EQ(PumpUntilQuit(), (std::vector<Received>{{window, WM_USER, 5}}));
  DestroyWindow(window);
}

TEST_F(OneThread, RegisteringAClassTwiceFails) {
  RecordingClass();
  WNDCLASSW again{};
  again.lpfnWndProc = DefWindowProcW;
  std::u16string upper = class_name_;
  for (auto& c : upper) c = (c >= u'a' && c <= u'z') ? c - 32 : c;
  again.lpszClassName = upper.c_str();
  EXPECT_EQ(RegisterClassW(&again), 0);
  EXPECT_EQ(RegisterClassW(nullptr), 0);
  again.lpszClassName = nullptr;
  EXPECT_EQ(RegisterClassW(&again), 0);
  again.lpszClassName = u"NoProcedure";
  again.lpfnWndProc = nullptr;
  EXPECT_EQ(RegisterClassW(&again), 0);
  EXPECT_EQ(CreateScriptedWindow(u"NeverRegistered"), nullptr);
}

TEST_F(OneThread, PostedMessagesComeInOrderThenQuit) {
  RecordingClass();
  HWND a = CreateScriptedWindow(class_name_.c_str());
  HWND b = CreateScriptedWindow(class_name_.c_str());
  for (WPARAM i = 0; i < 5; ++i) PostMessageW(i % 2 ? a : b, WM_USER + 3, i, 0);
  PostMessageW(nullptr, WM_USER, 9, 0);  // a thread message
  std::vector<Received> expected = {{b, WM_USER + 3, 0}, {a, WM_USER + 3, 1},
                                    {b, WM_USER + 3, 2}, {a, WM_USER + 3, 3},
                                    {b, WM_USER + 3, 4}, {nullptr, WM_USER, 9}};
  EXPECT_EQ(PumpUntilQuit(), expected);
  DestroyWindow(a);
  DestroyWindow(b);
}

TEST_F(OneThread, MessagesForADestroyedWindowAreDropped) {
  RecordingClass();
  HWND doomed = CreateScriptedWindow(class_name_.c_str());
  HWND kept = CreateScriptedWindow(class_name_.c_str());
  PostMessageW(doomed, WM_USER, 1, 0);
  PostMessageW(kept, WM_USER, 2, 0);
  PostMessageW(doomed, WM_USER, 3, 0);
  DestroyWindow(doomed);
  EXPECT_FALSE(PostMessageW(doomed, WM_USER, 4, 0));
  EXPECT_EQ(PumpUntilQuit(), (std::vector<Received>{{kept, WM_USER, 2}}));
  DestroyWindow(kept);
}

TEST_F(OneThread, QuitWaitsForPostedMessagesButNotForPaint) {
  RecordingClass();
  HWND window = CreateScriptedWindow(class_name_.c_str());
  ShowWindow(window, SW_SHOW);  // leaves an update region
  PostMessageW(window, WM_USER, 1, 0);
  std::vector<Received> taken = PumpUntilQuit();
  EXPECT_EQ(taken, (std::vector<Received>{{window, WM_USER, 1}}));
  DestroyWindow(window);
}

TEST_F(OneThread, ShowingInvalidatesAndPaintComesAfterPostedMessages) {
  RecordingClass();
  HWND window = CreateScriptedWindow(class_name_.c_str());
  EXPECT_FALSE(platform::TakeUpdateRegion(window, nullptr));  // created hidden
  EXPECT_FALSE(ShowWindow(window, SW_SHOW));                  // was hidden
  EXPECT_TRUE(IsWindowVisible(window));
  PostMessageW(window, WM_USER, 1, 0);
  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, WM_USER);
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, WM_PAINT);
  EXPECT_EQ(msg.hwnd, window);
  // Painting validates: gdi's BeginPaint takes the region.
  RECT update{};
  ASSERT_TRUE(platform::TakeUpdateRegion(window, &update));
  EXPECT_EQ(update.right, 800);
  EXPECT_EQ(update.bottom, 480);
  EXPECT_EQ(PumpUntilQuit(), std::vector<Received>{});
  DestroyWindow(window);
}

TEST_F(OneThread, InvalidateRectGrowsTheRegionWithinTheWindow) {
  RecordingClass();
  HWND window = CreateScriptedWindow(class_name_.c_str(), WS_VISIBLE);
  platform::ValidateWindow(window);
  RECT first{10, 10, 20, 20};
  RECT second{700, 400, 900, 500};
  ASSERT_TRUE(InvalidateRect(window, &first, FALSE));
  ASSERT_TRUE(InvalidateRect(window, &second, TRUE));
  RECT update{};
  ASSERT_TRUE(platform::TakeUpdateRegion(window, &update));
  EXPECT_EQ(update.left, 10);
  EXPECT_EQ(update.top, 10);
  EXPECT_EQ(update.right, 800);
  EXPECT_EQ(update.bottom, 480);
  RECT outside{900, 900, 950, 950};
  ASSERT_TRUE(InvalidateRect(window, &outside, FALSE));
  EXPECT_FALSE(platform::TakeUpdateRegion(window, &update));
  DestroyWindow(window);
}

TEST_F(OneThread, UpdateWindowPaintsAtOnceOnlyWhenInvalid) {
  RecordingClass();
  HWND window = CreateScriptedWindow(class_name_.c_str(), WS_VISIBLE);
  received_.clear();
  ASSERT_TRUE(UpdateWindow(window));
  EXPECT_EQ(received_, (std::vector<Received>{{window, WM_PAINT, 0}}));
  // DefWindowProcW answered WM_PAINT and so validated the window.
  received_.clear();
  ASSERT_TRUE(UpdateWindow(window));
  EXPECT_TRUE(received_.empty());
  DestroyWindow(window);
}

TEST_F(OneThread, PaintPostedByHandIsAnOrdinaryMessage) {
  RecordingClass();
  HWND window = CreateScriptedWindow(class_name_.c_str());  // hidden, no update region
  PostMessageW(window, WM_PAINT, 0, 0);
  PostMessageW(window, WM_PAINT, 0, 0);
  EXPECT_EQ(PumpUntilQuit(), (std::vector<Received>{{window, WM_PAINT, 0}, {window, WM_PAINT, 0}}));
  DestroyWindow(window);
}

TEST_F(OneThread, CloseDestroysThroughDefWindowProc) {
  RecordingClass();
  HWND window = CreateScriptedWindow(class_name_.c_str());
  PostMessageW(window, WM_CLOSE, 0, 0);
  PumpUntilQuit();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(received_.back(), (Received{window, WM_DESTROY, 0}));
}

TEST_F(OneThread, DescribesItsWindows) {
  RecordingClass();
  HWND window = CreateWindowExW(0, class_name_.c_str(), u"QUELT_VER120", WS_VISIBLE, 0, 0, 800, 480,
                                nullptr, nullptr, nullptr, nullptr);
  platform::WindowInfo info{};
  ASSERT_TRUE(platform::DescribeWindow(window, &info));
  EXPECT_EQ(info.handle, window);
  EXPECT_EQ(std::u16string(info.title), u"QUELT_VER120");
  EXPECT_EQ(std::u16string(info.class_name), class_name_);
  EXPECT_TRUE(info.top_level);
  EXPECT_TRUE(info.visible);
  int seen = 0;
  platform::ForEachWindow([&](const platform::WindowInfo& each) { seen += each.handle == window; });
  EXPECT_EQ(seen, 1);
  DestroyWindow(window);
  EXPECT_FALSE(platform::DescribeWindow(window, &info));
  EXPECT_FALSE(platform::DescribeWindow(nullptr, &info));
}

TEST_F(OneThread, BadHandlesAndPointersFailCleanly) {
  RecordingClass();
  HWND dead = CreateScriptedWindow(class_name_.c_str());
  DestroyWindow(dead);
  HWND never = reinterpret_cast<HWND>(0x1234);
  for (HWND bad : {dead, never, static_cast<HWND>(nullptr)}) {
    RECT rect{1, 2, 3, 4};
    EXPECT_FALSE(IsWindow(bad));
    EXPECT_FALSE(IsWindowVisible(bad));
    EXPECT_FALSE(ShowWindow(bad, SW_SHOW));
    EXPECT_FALSE(UpdateWindow(bad));
    EXPECT_FALSE(GetWindowRect(bad, &rect));
    EXPECT_FALSE(DestroyWindow(bad));
    EXPECT_EQ(SendMessageW(bad, WM_USER, 0, 0), 0);
    EXPECT_FALSE(platform::TakeUpdateRegion(bad, &rect));
    platform::ValidateWindow(bad);
    MSG msg;
    EXPECT_EQ(DispatchMessageW(&(msg = MSG{bad, WM_USER, 0, 0, 0, {0, 0}})), 0);
    if (bad != nullptr) {
      EXPECT_FALSE(InvalidateRect(bad, nullptr, FALSE));
      EXPECT_FALSE(PostMessageW(bad, WM_USER, 0, 0));
      EXPECT_EQ(SetTimer(bad, 1, 100, nullptr), 0u);
      EXPECT_FALSE(KillTimer(bad, 1));
      EXPECT_EQ(GetMessageW(&msg, bad, 0, 0), -1);
      EXPECT_EQ(MessageBoxW(bad, u"text", u"caption", MB_OK), 0);
    }
  }
  HWND window = CreateScriptedWindow(class_name_.c_str());
  EXPECT_FALSE(GetWindowRect(window, nullptr));
  EXPECT_EQ(GetMessageW(nullptr, nullptr, 0, 0), -1);
  EXPECT_EQ(DispatchMessageW(nullptr), 0);
  EXPECT_FALSE(TranslateMessage(nullptr));
  EXPECT_EQ(CreateWindowExW(0, nullptr, u"x", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(CreateWindowExW(0, class_name_.c_str(), u"x", WS_CHILD, 0, 0, 1, 1, dead, nullptr,
                            nullptr, nullptr),
            nullptr);
  // A WM_TIMER posted by hand with some lParam never jumps to it.
  PostMessageW(window, WM_TIMER, 1, 0x1234);
  EXPECT_EQ(PumpUntilQuit(), (std::vector<Received>{{window, WM_TIMER, 1}}));
  DestroyWindow(window);
}

TEST_F(OneThread, ChildWindowsFollowTheirParent) {
  RecordingClass();
  HWND parent = CreateWindowExW(0, class_name_.c_str(), u"parent", 0, 100, 50, 400, 300, nullptr,
                                nullptr, nullptr, nullptr);
  HWND child = CreateWindowExW(0, class_name_.c_str(), u"child", WS_CHILD | WS_VISIBLE, 10, 10, 50,
                               50, parent, nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  RECT rect{};
  GetWindowRect(child, &rect);
  EXPECT_EQ(rect.left, 110);
  EXPECT_EQ(rect.top, 60);
  EXPECT_FALSE(IsWindowVisible(child));  // its parent is hidden
  ShowWindow(parent, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(child));
  received_.clear();
  DestroyWindow(parent);
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(received_, (std::vector<Received>{{parent, WM_DESTROY, 0}, {child, WM_DESTROY, 0}}));
}

}  // namespace
