// Our own window shown by the SDL display on the real X server that QUELT_TEST_DISPLAY names,
// beside windows of an X client of the test's own; the X11 display and desktop tests share it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/testing_display.h"
#include "tests/platform_display/x_client.h"
#include "tests/platform_gdi/dib_probe.h"

namespace platform::test {

inline constexpr UINT_PTR kWatchdogTimer = 99;

inline bool IsEven(HWND window) { return (reinterpret_cast<std::uintptr_t>(window) & 1) == 0; }

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

}  // namespace platform::test
