// Message boxes on the headless display, under virtual time: recorded with their text, caption
// and owner, and answered after the delay the test sets while the caller's loop runs on.
#include <gtest/gtest.h>

#include "platform/testing.h"
#include "platform/testing_display.h"

namespace platform::test {
namespace {

LRESULT CountTicks(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  static int* ticks = nullptr;
  if (message == WM_CREATE)
    ticks = static_cast<int*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
  if (message == WM_TIMER && ticks) ++*ticks;
  return DefWindowProcW(window, message, wparam, lparam);
}

TEST(HeadlessMessageBox, IsRecordedAndAnsweredAfterTheDelayWhileTimersRun) {
  testing::ForceHeadlessDisplay();
  testing::ClearMessageBoxesShown();
  testing::SetMessageBoxDelayMs(1000);
  VirtualRunScope run(LocalTime(2024, 3, 1, 12, 0, 0));
  static HWND owner;
  static int ticks;
  static std::int64_t answered_at;
  ticks = 0;
  ASSERT_TRUE(StartMainThread([] {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = CountTicks;
    window_class.lpszClassName = u"BoxOwner";
    RegisterClassW(&window_class);
    owner = CreateWindowExW(0, u"BoxOwner", u"Owner", 0, 0, 0, 800, 480, nullptr, nullptr, nullptr,
                            &ticks);
    SetTimer(owner, 1, 100, nullptr);
    const int answer = MessageBoxW(owner, u"Error in Load Bitmap !", u"Error", MB_OK);
    answered_at = VirtualNowMs();
    return answer;
  }));
  int answer = 0;
  ASSERT_TRUE(RunUntilMainReturns(5000, &answer));
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(answered_at, 1000);
  EXPECT_GE(ticks, 9) << "the modal loop kept dispatching the owner's timer";
  const auto boxes = testing::MessageBoxesShown();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].owner, owner);
  EXPECT_EQ(boxes[0].text, u"Error in Load Bitmap !");
  EXPECT_EQ(boxes[0].caption, u"Error");
  testing::SetMessageBoxDelayMs(0);
}

}  // namespace
}  // namespace platform::test
