// Real time, real threads: posts from other threads keep their order and wake a blocked
// GetMessageW, sends are answered on the owner's thread, CreateThread runs, and a thread's windows
// end with it. Only orders and counts are checked, never durations.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "platform/testing_display.h"
#include "platform/win32.h"
#include "scripted_window.h"

namespace {

using platform::test::CreateScriptedWindow;
using platform::test::kDefault;
using platform::test::RegisterScriptedClass;

constexpr UINT kFromProducer = WM_USER + 1;
constexpr UINT kProducerDone = WM_USER + 2;

class RealThreads : public ::testing::Test {
 protected:
  void SetUp() override { platform::testing::ForceHeadlessDisplay(); }
  void TearDown() override { platform::test::ResetScriptedClasses(); }
};

TEST_F(RealThreads, PostsFromOtherThreadsKeepEachSendersOrderOnTheOwnersThread) {
  constexpr int kProducers = 2;
  constexpr int kPerProducer = 2000;
  std::vector<std::vector<WPARAM>> received(kProducers);
  std::thread::id owner = std::this_thread::get_id();
  bool all_on_owner = true;
  int done = 0;
  RegisterScriptedClass(u"Consumer", [&](HWND, UINT message, WPARAM w, LPARAM l) {
    all_on_owner = all_on_owner && std::this_thread::get_id() == owner;
    if (message == kFromProducer) received[l].push_back(w);
    if (message == kProducerDone && ++done == kProducers) PostQuitMessage(0);
    return kDefault;
  });
  HWND window = CreateScriptedWindow(u"Consumer");
  ASSERT_NE(window, nullptr);
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([window, p] {
      for (int i = 0; i < kPerProducer; ++i) {
        // The queue holds at most 10000; a refused post is retried.
        while (!PostMessageW(window, kFromProducer, i, p)) std::this_thread::yield();
      }
      PostMessageW(window, kProducerDone, 0, 0);
    });
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  for (auto& producer : producers) producer.join();
  EXPECT_TRUE(all_on_owner);
  for (int p = 0; p < kProducers; ++p) {
    ASSERT_EQ(received[p].size(), static_cast<std::size_t>(kPerProducer));
    for (int i = 0; i < kPerProducer; ++i) ASSERT_EQ(received[p][i], static_cast<WPARAM>(i));
  }
  DestroyWindow(window);
}

TEST_F(RealThreads, PostWakesAThreadBlockedInGetMessage) {
  std::promise<HWND> created;
  std::vector<UINT> seen;
  std::thread consumer([&] {
    RegisterScriptedClass(u"Blocked", [&](HWND, UINT message, WPARAM, LPARAM) {
      seen.push_back(message);
      if (message == WM_USER + 9) PostQuitMessage(0);
      return kDefault;
    });
    created.set_value(CreateScriptedWindow(u"Blocked"));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  });
  HWND window = created.get_future().get();
  ASSERT_NE(window, nullptr);
  // Give the consumer time to block; the order holds however the threads interleave.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(PostMessageW(window, WM_USER, 0, 0));
  EXPECT_TRUE(PostMessageW(window, WM_USER + 9, 0, 0));
  consumer.join();
  EXPECT_EQ(seen, (std::vector<UINT>{WM_CREATE, WM_USER, WM_USER + 9}));
  // The consumer ended: its window went with it.
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(RealThreads, SendFromAnotherThreadIsAnsweredOnTheOwnersThread) {
  std::thread::id owner = std::this_thread::get_id();
  std::thread::id handled_on;
  RegisterScriptedClass(u"Answering", [&](HWND, UINT message, WPARAM w, LPARAM) {
    if (message == WM_USER) {
      handled_on = std::this_thread::get_id();
      return static_cast<LRESULT>(w + 1);
    }
    if (message == WM_USER + 9) PostQuitMessage(0);
    return kDefault;
  });
  HWND window = CreateScriptedWindow(u"Answering");
  LRESULT answer = 0;
  std::thread sender([&] {
    answer = SendMessageW(window, WM_USER, 41, 0);
    PostMessageW(window, WM_USER + 9, 0, 0);
  });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  sender.join();
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(handled_on, owner);
  DestroyWindow(window);
}

TEST_F(RealThreads, TimersKeepComingWhileTheLoopRuns) {
  int ticks = 0;
  RegisterScriptedClass(u"RealTicker", [&](HWND window, UINT message, WPARAM id, LPARAM) {
    if (message == WM_TIMER && ++ticks == 5) {
      KillTimer(window, id);
      PostQuitMessage(0);
    }
    return kDefault;
  });
  HWND window = CreateScriptedWindow(u"RealTicker");
  ASSERT_EQ(SetTimer(window, 7, 10, nullptr), 7u);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  EXPECT_EQ(ticks, 5);
  DestroyWindow(window);
}

std::atomic<int> started{0};

DWORD CountStart(LPVOID param) {
  started += *static_cast<int*>(param);
  return 0;
}

TEST_F(RealThreads, CreateThreadRunsTheFunctionAndItsHandleClosesOnce) {
  static int increment = 1;
  DWORD first_id = 0;
  DWORD second_id = 0;
  HANDLE first = CreateThread(nullptr, 0, CountStart, &increment, 0, &first_id);
  HANDLE second = CreateThread(nullptr, 0, CountStart, &increment, 0, &second_id);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first_id, second_id);
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_FALSE(CloseHandle(first));
  EXPECT_TRUE(CloseHandle(second));
  while (started < 2) std::this_thread::yield();
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(CreateThread(nullptr, 0, CountStart, &increment, 4 /* CREATE_SUSPENDED */, nullptr),
            nullptr);
}

}  // namespace
