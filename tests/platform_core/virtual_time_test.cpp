// Virtual time: the baton scheduler's message, timer, paint and sleep semantics across threads,
// modal message boxes, the local clock, determinism and the end of a run.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/internal/kernel_handles.h"
#include "platform/testing.h"
#include "platform/testing_display.h"
#include "platform/win32.h"
#include "scripted_window.h"

namespace {

using platform::test::CreateScriptedWindow;
using platform::test::kDefault;
using platform::test::RegisterScriptedClass;

std::atomic<HWND> main_window{nullptr};

int RunMessageLoop() {
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

// Creates the main window of class name (registered by the test) and runs its message loop.
int MainWindowLoop(LPCWSTR name, DWORD style = 0) {
  main_window = CreateScriptedWindow(name, style);
  return main_window.load() != nullptr ? RunMessageLoop() : -1;
}

bool IsCallTrace(const std::string& text) {
  for (const char* call : {"CreateWindowExW ", "DestroyWindow ", "ShowWindow ", "CreateThread ",
                           "MessageBoxW ", "PostQuitMessage "}) {
    if (text.rfind(call, 0) == 0) return true;
  }
  return false;
}

// The trace as "<ms> t<thread> <text>" lines: the dispatched messages and the tests' own
// entries, or with calls also the platform calls that the core records.
std::vector<std::string> TraceLines(bool with_calls = false) {
  std::vector<std::string> lines;
  for (const platform::TraceEntry& entry : platform::VirtualTrace()) {
    if (!with_calls && IsCallTrace(entry.text)) continue;
    lines.push_back(std::to_string(entry.ms) + " t" + std::to_string(entry.thread) + " " +
                    entry.text);
  }
  return lines;
}

class VirtualTime : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::testing::ForceHeadlessDisplay();
    ASSERT_TRUE(platform::StartVirtualRun(platform::LocalTime(2024, 3, 1, 12, 0, 0)));
  }
  void TearDown() override {
    platform::EndVirtualRun();
    platform::test::ResetScriptedClasses();
    main_window = nullptr;
  }
};

TEST_F(VirtualTime, TimerTicksAtItsInterval) {
  RegisterScriptedClass(u"Ticker", nullptr);
  platform::StartMainThread([] {
    main_window = CreateScriptedWindow(u"Ticker");
    SetTimer(main_window, 1, 100, nullptr);
    return RunMessageLoop();
  });
  platform::AdvanceVirtualTime(450);
  EXPECT_EQ(TraceLines(),
            (std::vector<std::string>{"100 t0 Ticker WM_TIMER 1 0", "200 t0 Ticker WM_TIMER 1 0",
                                      "300 t0 Ticker WM_TIMER 1 0", "400 t0 Ticker WM_TIMER 1 0"}));
  EXPECT_EQ(platform::VirtualNowMs(), 450);
}

DWORD PostTwiceFromAnotherThread(LPVOID) {
  Sleep(150);
  PostMessageW(main_window, WM_USER + 1, 0, 0);
  Sleep(100);
  PostMessageW(main_window, WM_USER + 2, 0, 0);
  return 0;
}

// The main window's first tick keeps its thread busy for 350 ms: the timer comes due three times
// meanwhile and another thread posts twice. The posted messages come first, in order, on the
// window's thread, and the late timer yields one WM_TIMER; then the timer keeps its grid.
void StartBusyScenario() {
  RegisterScriptedClass(u"Busy", [](HWND, UINT message, WPARAM, LPARAM) {
    static int ticks = 0;
    if (message == WM_TIMER && ++ticks == 1) Sleep(350);
    return kDefault;
  });
  platform::StartMainThread([] {
    main_window = CreateScriptedWindow(u"Busy");
    SetTimer(main_window, 1, 100, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, PostTwiceFromAnotherThread, nullptr, 0, nullptr);
    CloseHandle(thread);
    return RunMessageLoop();
  });
}

TEST_F(VirtualTime, PostedMessagesFirstAndOneTimerMessageForABusyThread) {
  StartBusyScenario();
  platform::AdvanceVirtualTime(600);
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{
                              "100 t0 Busy WM_TIMER 1 0",
                              "450 t0 Busy 0x0401 0 0",
                              "450 t0 Busy 0x0402 0 0",
                              "450 t0 Busy WM_TIMER 1 0",
                              "500 t0 Busy WM_TIMER 1 0",
                              "600 t0 Busy WM_TIMER 1 0",
                          }));
}

TEST_F(VirtualTime, HandlerThatKillsAndRearmsItsTimerGetsAOneShot) {
  RegisterScriptedClass(u"OneShot", [](HWND window, UINT message, WPARAM id, LPARAM) {
    static int ticks = 0;
    if (message != WM_TIMER) return kDefault;
    EXPECT_TRUE(KillTimer(window, id));
    ++ticks;
    // 50 ms after the first tick, then 200 ms, and after the fourth tick no more.
    if (ticks < 4) SetTimer(window, id, ticks == 1 ? 50 : 200, nullptr);
    return LRESULT{0};
  });
  platform::StartMainThread([] {
    main_window = CreateScriptedWindow(u"OneShot");
    SetTimer(main_window, 3, 100, nullptr);
    return RunMessageLoop();
  });
  platform::AdvanceVirtualTime(2000);
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{
                              "100 t0 OneShot WM_TIMER 3 0",
                              "150 t0 OneShot WM_TIMER 3 0",
                              "350 t0 OneShot WM_TIMER 3 0",
                              "550 t0 OneShot WM_TIMER 3 0",
                          }));
}

DWORD PostAfterHalfASecond(LPVOID) {
  Sleep(500);
  PostMessageW(main_window, WM_USER, 7, 0);
  return 0;
}

TEST_F(VirtualTime, PostFromAnotherThreadWakesABlockedGetMessage) {
  RegisterScriptedClass(u"Sleeper", nullptr);
  platform::StartMainThread([] {
    main_window = CreateScriptedWindow(u"Sleeper");
    CloseHandle(CreateThread(nullptr, 0, PostAfterHalfASecond, nullptr, 0, nullptr));
    return RunMessageLoop();
  });
  platform::AdvanceVirtualTime(499);
  EXPECT_TRUE(TraceLines().empty());
  platform::AdvanceVirtualTime(100);
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{"500 t0 Sleeper 0x0400 7 0"}));
}

TEST_F(VirtualTime, QuitEndsTheLoopAfterThePostedMessagesWithItsCode) {
  RegisterScriptedClass(u"Quitter", [](HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_USER) {
      PostMessageW(window, WM_USER + 5, 0, 0);
      PostQuitMessage(3);
    }
    return kDefault;
  });
  platform::StartMainThread([] { return MainWindowLoop(u"Quitter"); });
  platform::AdvanceVirtualTime(10);
  ASSERT_NE(main_window.load(), nullptr);
  PostMessageW(main_window, WM_USER, 0, 0);  // from the controller
  int exit_code = -1;
  ASSERT_TRUE(platform::RunUntilMainReturns(1000, &exit_code));
  EXPECT_EQ(exit_code, 3);
  EXPECT_EQ(TraceLines(),
            (std::vector<std::string>{"10 t0 Quitter 0x0400 0 0", "10 t0 Quitter 0x0405 0 0"}));
  // Its windows stay until the run ends, as a process's stay until it exits, but they take
  // nothing any more.
  EXPECT_TRUE(IsWindow(main_window));
  EXPECT_EQ(SendMessageW(main_window, WM_USER, 0, 0), 0);
  platform::AdvanceVirtualTime(100);
  EXPECT_EQ(TraceLines().size(), 2u);
}

DWORD ReturnAtOnce(LPVOID) { return 0; }

TEST_F(VirtualTime, TheTraceRecordsTheNotablePlatformCalls) {
  RegisterScriptedClass(u"Calls", nullptr);
  platform::StartMainThread([] {
    HWND window =
        CreateWindowExW(0, u"Calls", u"Title", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    CloseHandle(CreateThread(nullptr, 0, ReturnAtOnce, nullptr, 0, nullptr));
    MessageBoxW(window, u"Error in Load Bitmap 1 !", u"Error", MB_OK);
    DestroyWindow(window);
    PostQuitMessage(0);
    return RunMessageLoop();
  });
  ASSERT_TRUE(platform::RunUntilMainReturns(1000, nullptr));
  EXPECT_EQ(TraceLines(true), (std::vector<std::string>{
                                  "0 t0 CreateWindowExW Calls Title",
                                  "0 t0 ShowWindow Calls 5",
                                  "0 t0 CreateThread t1",
                                  "0 t0 MessageBoxW Error: Error in Load Bitmap 1 !",
                                  "0 t0 DestroyWindow Calls",
                                  "0 t0 PostQuitMessage 0",
                              }));
}

TEST_F(VirtualTime, RunUntilMainReturnsStopsAtItsBound) {
  RegisterScriptedClass(u"Forever", nullptr);
  platform::StartMainThread([] { return MainWindowLoop(u"Forever"); });
  int exit_code = -1;
  EXPECT_FALSE(platform::RunUntilMainReturns(5000, &exit_code));
  EXPECT_EQ(exit_code, -1);
  EXPECT_EQ(platform::VirtualNowMs(), 5000);
}

DWORD PostAt300And700(LPVOID) {
  Sleep(300);
  PostMessageW(main_window, WM_USER, 1, 0);
  Sleep(400);
  PostMessageW(main_window, WM_USER, 2, 0);
  return 0;
}

TEST_F(VirtualTime, ModalMessageBoxKeepsDeliveringTimersAndPostedMessages) {
  platform::testing::ClearMessageBoxesShown();
  platform::testing::SetMessageBoxDelayMs(1000);
  RegisterScriptedClass(u"Owner", nullptr);
  platform::StartMainThread([] {
    main_window = CreateScriptedWindow(u"Owner");
    SetTimer(main_window, 1, 400, nullptr);
    CloseHandle(CreateThread(nullptr, 0, PostAt300And700, nullptr, 0, nullptr));
    int answer = MessageBoxW(main_window, u"Error in Load Bitmap !", u"Error", MB_OK);
    platform::TraceEvent("box answered " + std::to_string(answer));
    return RunMessageLoop();
  });
  platform::AdvanceVirtualTime(1250);
  platform::testing::SetMessageBoxDelayMs(0);
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{
                              "300 t0 Owner 0x0400 1 0",
                              "400 t0 Owner WM_TIMER 1 0",
                              "700 t0 Owner 0x0400 2 0",
                              "800 t0 Owner WM_TIMER 1 0",
                              "1000 t0 box answered 1",
                              "1200 t0 Owner WM_TIMER 1 0",
                          }));
  auto boxes = platform::testing::MessageBoxesShown();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].owner, main_window.load());
  EXPECT_EQ(boxes[0].text, u"Error in Load Bitmap !");
  EXPECT_EQ(boxes[0].caption, u"Error");
}

// As on Win32, a box disables its owner: the display's pen goes nowhere while the box is up, but
// the owner's timers and posted messages still arrive. Afterwards the owner is enabled again, or
// stays disabled if it was disabled before.
TEST_F(VirtualTime, ModalMessageBoxDisablesItsOwnerForInput) {
  using platform::testing::InjectPen;
  using platform::testing::Pen;
  static bool disabled_before;
  for (bool disabled : {false, true}) {
    SCOPED_TRACE(disabled ? "disabled before" : "enabled before");
    TearDown();
    SetUp();
    disabled_before = disabled;
    platform::testing::SetMessageBoxDelayMs(1000);
    RegisterScriptedClass(u"Owner", nullptr);
    platform::StartMainThread([] {
      main_window = CreateScriptedWindow(u"Owner", WS_VISIBLE);
      if (disabled_before) EnableWindow(main_window, FALSE);
      SetTimer(main_window, 1, 400, nullptr);
      MessageBoxW(main_window, u"Error in Load Bitmap 1 !", u"Error", MB_OK);
      platform::TraceEvent("box answered");
      return RunMessageLoop();
    });
    platform::AdvanceVirtualTime(100);
    EXPECT_FALSE(IsWindowEnabled(main_window));
    EXPECT_FALSE(InjectPen(Pen::Down, 10, 20));
    EXPECT_FALSE(InjectPen(Pen::Up, 10, 20));
    PostMessageW(main_window, WM_USER, 1, 0);
    platform::AdvanceVirtualTime(1000);
    platform::testing::SetMessageBoxDelayMs(0);
    EXPECT_EQ(IsWindowEnabled(main_window), !disabled);
    EXPECT_EQ(InjectPen(Pen::Down, 10, 20), !disabled);
    EXPECT_EQ(InjectPen(Pen::Up, 10, 20), !disabled);
    platform::AdvanceVirtualTime(10);
    std::vector<std::string> expected = {"0 t0 Owner WM_PAINT 0 0", "100 t0 Owner 0x0400 1 0",
                                         "400 t0 Owner WM_TIMER 1 0", "800 t0 Owner WM_TIMER 1 0",
                                         "1000 t0 box answered"};
    if (!disabled) {
      expected.insert(expected.end(), {"1100 t0 Owner WM_LBUTTONDOWN 1 1310730",
                                       "1100 t0 Owner WM_LBUTTONUP 0 1310730"});
    }
    EXPECT_EQ(TraceLines(), expected);
  }
}

TEST_F(VirtualTime, QuitDuringAModalBoxEndsItAndReachesTheOuterLoop) {
  platform::testing::SetMessageBoxDelayMs(60'000);
  RegisterScriptedClass(u"Closing", [](HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_TIMER) PostQuitMessage(9);
    return kDefault;
  });
  platform::StartMainThread([] {
    main_window = CreateScriptedWindow(u"Closing");
    SetTimer(main_window, 1, 100, nullptr);
    platform::TraceEvent("box " + std::to_string(MessageBoxW(main_window, u"t", u"c", MB_OK)));
    return RunMessageLoop();
  });
  int exit_code = -1;
  ASSERT_TRUE(platform::RunUntilMainReturns(1000, &exit_code));
  platform::testing::SetMessageBoxDelayMs(0);
  EXPECT_EQ(exit_code, 9);
  EXPECT_EQ(TraceLines(),
            (std::vector<std::string>{"100 t0 Closing WM_TIMER 1 0", "100 t0 box 0"}));
}

TEST_F(VirtualTime, SleepLastsItsVirtualTimeAndTheTickCountFollows) {
  platform::StartMainThread([] {
    DWORD start = GetTickCount();
    Sleep(200);
    platform::TraceEvent("slept " + std::to_string(GetTickCount() - start));
    Sleep(0);
    platform::TraceEvent("yielded " + std::to_string(GetTickCount() - start));
    return 0;
  });
  ASSERT_TRUE(platform::RunUntilMainReturns(10'000, nullptr));
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{"200 t0 slept 200", "200 t0 yielded 200"}));
}

TEST_F(VirtualTime, LocalTimeIsTheSetTimePlusVirtualTime) {
  struct {
    SYSTEMTIME start;
    std::int64_t advance_ms;
    WORD year, month, day, day_of_week, hour, minute, second, ms;
  } const cases[] = {
      {platform::LocalTime(2024, 2, 28, 23, 59, 59), 2'000, 2024, 2, 29, 4, 0, 0, 1, 0},
      {platform::LocalTime(2023, 12, 31, 23, 59, 59), 1'250, 2024, 1, 1, 1, 0, 0, 0, 250},
      {platform::LocalTime(2024, 3, 2, 23, 0, 0), 3'600'000, 2024, 3, 3, 0, 0, 0, 0, 0},
      {platform::LocalTime(2100, 2, 28, 12, 0, 0), 86'400'000, 2100, 3, 1, 1, 12, 0, 0, 0},
  };
  for (const auto& c : cases) {
    platform::SetVirtualLocalTime(c.start);
    platform::AdvanceVirtualTime(c.advance_ms);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, c.year);
    EXPECT_EQ(now.wMonth, c.month);
    EXPECT_EQ(now.wDay, c.day);
    EXPECT_EQ(now.wDayOfWeek, c.day_of_week) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(now.wHour, c.hour);
    EXPECT_EQ(now.wMinute, c.minute);
    EXPECT_EQ(now.wSecond, c.second);
    EXPECT_EQ(now.wMilliseconds, c.ms);
  }
  GetLocalTime(nullptr);
}

DWORD SendToMainWindow(LPVOID) {
  LRESULT answer = SendMessageW(main_window, WM_USER, 21, 0);
  platform::TraceEvent("answer " + std::to_string(answer));
  return 0;
}

TEST_F(VirtualTime, SendMessageAcrossThreadsRunsOnTheOwnerAndWaitsForTheAnswer) {
  RegisterScriptedClass(u"Target", [](HWND, UINT message, WPARAM w, LPARAM) {
    if (message != WM_USER) return kDefault;
    platform::TraceEvent("handled");
    return static_cast<LRESULT>(w * 2);
  });
  platform::StartMainThread([] {
    main_window = CreateScriptedWindow(u"Target");
    CloseHandle(CreateThread(nullptr, 0, SendToMainWindow, nullptr, 0, nullptr));
    return RunMessageLoop();
  });
  platform::AdvanceVirtualTime(10);
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{"0 t0 handled", "0 t1 answer 42"}));
  // The controller may send too while the owner waits for messages.
  EXPECT_EQ(SendMessageW(main_window, WM_USER, 5, 0), 10);
}

TEST_F(VirtualTime, InvalidatingFromTheControllerWakesTheOwnerToPaint) {
  RegisterScriptedClass(u"Painted", nullptr);
  platform::StartMainThread([] { return MainWindowLoop(u"Painted", WS_VISIBLE); });
  platform::AdvanceVirtualTime(10);
  platform::TraceEvent("controller invalidates");
  InvalidateRect(main_window, nullptr, FALSE);
  platform::AdvanceVirtualTime(10);
  EXPECT_EQ(TraceLines(),
            (std::vector<std::string>{"0 t0 Painted WM_PAINT 0 0", "10 t-1 controller invalidates",
                                      "10 t0 Painted WM_PAINT 0 0"}));
}

TEST_F(VirtualTime, ControllerOwnsNothingAndNeverBlocks) {
  RegisterScriptedClass(u"Nobody", nullptr);
  MSG msg;
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), -1);
  EXPECT_EQ(CreateScriptedWindow(u"Nobody"), nullptr);
  EXPECT_EQ(SetTimer(nullptr, 1, 100, nullptr), 0u);
  EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", MB_OK), 0);
  EXPECT_FALSE(PostMessageW(nullptr, WM_USER, 0, 0));
  EXPECT_FALSE(platform::StartVirtualRun(platform::LocalTime(2024, 1, 1, 0, 0, 0)));
  EXPECT_EQ(platform::VirtualNowMs(), 0);
}

TEST_F(VirtualTime, RunThreadsCannotDriveTheRun) {
  platform::StartMainThread([] {
    platform::AdvanceVirtualTime(1000);
    platform::EndVirtualRun();
    int result = 0;
    platform::TraceEvent(platform::RunUntilMainReturns(1000, &result) ? "ran" : "refused");
    return 0;
  });
  ASSERT_TRUE(platform::RunUntilMainReturns(1000, nullptr));
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{"0 t0 refused"}));
}

std::atomic<int> probes{0};

DWORD ProbeForever(LPVOID) {
  for (;;) {
    ++probes;
    Sleep(200);
  }
}

int closes = 0;
void CountClose(void*) { ++closes; }

TEST_F(VirtualTime, EndingARunStopsItsLoopsAndDropsItsState) {
  RegisterScriptedClass(u"Ending", nullptr);
  HANDLE kernel_handle = nullptr;
  platform::StartMainThread([&] {
    kernel_handle =
        platform::NewKernelHandle(platform::KernelObjectKind::BlockDevice, nullptr, CountClose);
    CloseHandle(CreateThread(nullptr, 0, ProbeForever, nullptr, 0, nullptr));
    return MainWindowLoop(u"Ending");
  });
  platform::AdvanceVirtualTime(1000);
  EXPECT_EQ(probes, 6);  // at 0, 200 ... 1000
  HWND window = main_window;
  platform::EndVirtualRun();

  EXPECT_TRUE(platform::StartVirtualRun(platform::LocalTime(2024, 1, 1, 0, 0, 0)));
  platform::EndVirtualRun();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(CloseHandle(kernel_handle));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(probes, 6) << "a parked thread ran on";

  // The next run starts fresh: the class name is free and time starts at 0.
  platform::test::ResetScriptedClasses();
  ASSERT_TRUE(platform::StartVirtualRun(platform::LocalTime(2024, 3, 1, 12, 0, 0)));
  RegisterScriptedClass(u"Ending", nullptr);
  platform::StartMainThread([] { return MainWindowLoop(u"Ending"); });
  platform::AdvanceVirtualTime(10);
  EXPECT_NE(main_window.load(), nullptr);
  EXPECT_NE(main_window.load(), window);
  EXPECT_TRUE(TraceLines().empty());
}

DWORD PingPong(LPVOID) {
  // The second thread's hidden window polls every 50 ms and posts to the main window.
  static WNDCLASSW link_class{};
  link_class.lpszClassName = u"Poller";
  link_class.lpfnWndProc = [](HWND window, UINT message, WPARAM w, LPARAM l) -> LRESULT {
    if (message == WM_TIMER) {
      KillTimer(window, 20);
      PostMessageW(main_window, WM_USER + 3, 0, 0);
      SetTimer(window, 20, 50, nullptr);
      return 0;
    }
    return DefWindowProcW(window, message, w, l);
  };
  RegisterClassW(&link_class);
  HWND window = CreateWindowExW(0, u"Poller", u"Poller", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  SetTimer(window, 20, 100, nullptr);
  return static_cast<DWORD>(RunMessageLoop());
}

std::string TwoThreadScenario() {
  platform::StartVirtualRun(platform::LocalTime(2024, 3, 1, 12, 0, 0));
  RegisterScriptedClass(u"Main", [](HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_TIMER) {
      KillTimer(window, 1);
      SetTimer(window, 1, 400, nullptr);
    }
    return kDefault;
  });
  platform::StartMainThread([] {
    main_window = CreateScriptedWindow(u"Main");
    SetTimer(main_window, 1, 400, nullptr);
    CloseHandle(CreateThread(nullptr, 0, PingPong, nullptr, 0, nullptr));
    return RunMessageLoop();
  });
  platform::AdvanceVirtualTime(3000);
  std::string trace = platform::FormatTrace(platform::VirtualTrace());
  platform::EndVirtualRun();
  platform::test::ResetScriptedClasses();
  return trace;
}

TEST_F(VirtualTime, TheSameScenarioGivesTheSameTrace) {
  platform::EndVirtualRun();
  std::string first = TwoThreadScenario();
  std::string second = TwoThreadScenario();
  EXPECT_EQ(first, second);
  EXPECT_NE(first.find("400 t0 Main WM_TIMER 1 0"), std::string::npos) << first;
  EXPECT_NE(first.find("150 t1 Poller WM_TIMER 20 0"), std::string::npos) << first;
  EXPECT_NE(first.find("150 t0 Main 0x0403 0 0"), std::string::npos) << first;
}

}  // namespace
