// The headless display: window contexts drawing on the windows' surfaces, the screen composed
// from the visible windows, pen events delivered with window coordinates, and the desktop of the
// platform's own windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/testing_display.h"
#include "tests/platform_gdi/dib_probe.h"

namespace platform::test {
namespace {

using testing::CaptureScreen;
using testing::InjectPen;
using testing::Pen;

LRESULT PlainProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

class HeadlessDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ForceHeadlessDisplay();
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = PlainProcedure;
    window_class.lpszClassName = u"DrawingTestWindow";
    RegisterClassW(&window_class);
  }
  void TearDown() override {
    for (HWND window : windows_) DestroyWindow(window);
  }

  HWND Window(int x, int y, int width, int height, bool visible, LPCWSTR title = u"Drawing") {
    HWND window =
        CreateWindowExW(0, u"DrawingTestWindow", title, WS_POPUP | (visible ? WS_VISIBLE : 0), x, y,
                        width, height, nullptr, nullptr, nullptr, nullptr);
    windows_.push_back(window);
    return window;
  }

  std::vector<HWND> windows_;
};

Rgb ScreenPixel(const std::vector<std::uint8_t>& screen, int x, int y) {
  const std::uint8_t* pixel =
      &screen[(static_cast<std::size_t>(y) * testing::kScreenWidth + x) * 3];
  return static_cast<Rgb>(pixel[0]) << 16 | static_cast<Rgb>(pixel[1]) << 8 | pixel[2];
}

// Fills a window through its context, as the program copies its back buffer.
void PaintWindow(HWND window, int width, int height, Rgb colour) {
  Dib picture(width, height, 24, true);
  picture.Fill(colour);
  HDC dc = GetDC(window);
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(BitBlt(dc, 0, 0, width, height, picture.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(ReleaseDC(window, dc), 1);
}

TEST_F(HeadlessDisplay, CaptureShowsWhatWasDrawnOnVisibleWindowsAtTheirPlaces) {
  HWND window = Window(50, 40, 200, 100, true);
  PaintWindow(window, 200, 100, 0x336699);
  const auto screen = CaptureScreen();
  ASSERT_EQ(screen.size(), 800u * 480 * 3);
  EXPECT_EQ(ScreenPixel(screen, 50, 40), 0x336699u);
  EXPECT_EQ(ScreenPixel(screen, 249, 139), 0x336699u);
  EXPECT_EQ(ScreenPixel(screen, 49, 40), 0x000000u);
  EXPECT_EQ(ScreenPixel(screen, 250, 139), 0x000000u);
  EXPECT_EQ(ScreenPixel(screen, 249, 140), 0x000000u);
}

TEST_F(HeadlessDisplay, ACaptureWrittenAsBmpReadsBackTheSame) {
  HWND window = Window(100, 100, 300, 200, true);
  PaintWindow(window, 300, 200, 0x8040C0);
  char folder[] = "/tmp/quelt-capture-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/screen.bmp";
  ASSERT_TRUE(testing::WriteCaptureBmp(CaptureScreen(), path.c_str()));
  EXPECT_FALSE(testing::WriteCaptureBmp({1, 2, 3}, path.c_str())) << "not a whole screen";
  setenv("QUELT_STORAGE_CARD", folder, 1);
  HBITMAP picture = SHLoadDIBitmap(u"\\Storage Card\\screen.bmp");
  unsetenv("QUELT_STORAGE_CARD");
  std::remove(path.c_str());
  rmdir(folder);
  ASSERT_NE(picture, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ previous = SelectObject(dc, picture);
  EXPECT_EQ(PixelOf(dc, 100, 100), 0x8040C0u);
  EXPECT_EQ(PixelOf(dc, 399, 299), 0x8040C0u);
  EXPECT_EQ(PixelOf(dc, 99, 100), 0x000000u);
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(picture);
}

TEST_F(HeadlessDisplay, HiddenWindowsDrawIntoTheirSurfaceOffScreen) {
  HWND window = Window(0, 0, 800, 480, false);
  PaintWindow(window, 800, 480, 0xC0FFEE);
  EXPECT_EQ(ScreenPixel(CaptureScreen(), 10, 10), 0x000000u);
  ShowWindow(window, SW_SHOW);
  EXPECT_EQ(ScreenPixel(CaptureScreen(), 10, 10), 0xC0FFEEu);
  ShowWindow(window, SW_HIDE);
  EXPECT_EQ(ScreenPixel(CaptureScreen(), 10, 10), 0x000000u);
}

TEST_F(HeadlessDisplay, LaterShownWindowsLieOnTopUntilOneIsBroughtForward) {
  HWND lower = Window(0, 0, 100, 100, true);
  HWND upper = Window(50, 50, 100, 100, true);
  PaintWindow(lower, 100, 100, 0x111111);
  PaintWindow(upper, 100, 100, 0x222222);
  EXPECT_EQ(ScreenPixel(CaptureScreen(), 75, 75), 0x222222u);
  EXPECT_TRUE(SetForegroundWindow(lower));
  EXPECT_EQ(ScreenPixel(CaptureScreen(), 75, 75), 0x111111u);
}

TEST_F(HeadlessDisplay, TextOnAWindowContextReachesTheScreen) {
  HWND window = Window(0, 0, 800, 480, true);
  HDC dc = GetDC(window);
  SetBkColor(dc, RGB(0, 0, 255));
  RECT rect{100, 100, 300, 140};
  EXPECT_EQ(DrawTextW(dc, u"12:00", -1, &rect, DT_CENTER), 16) << "the stock font's cell";
  ReleaseDC(window, dc);
  const auto screen = CaptureScreen();
  int blue = 0;
  for (int y = 100; y < 116; ++y) {
    for (int x = 100; x < 300; ++x) blue += ScreenPixel(screen, x, y) == 0x0000FF;
  }
  EXPECT_GT(blue, 50) << "the opaque background of the line";
  EXPECT_EQ(ScreenPixel(screen, 150, 120), 0x000000u) << "below the line's cell";
}

MSG NextMessage() {
  MSG msg{};
  EXPECT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
  return msg;
}

// A back buffer copied onto a window, something drawn on either, and the back buffer copied
// again: the window must show the back buffer exactly, however little the second copy looks at.
TEST_F(HeadlessDisplay, CopyingABitmapAgainShowsItExactlyWhateverWasDrawnBetween) {
  constexpr int kWidth = 64, kHeight = 48;
  DeviceBitmap back(kWidth, kHeight), other(kWidth, kHeight);
  Dib picture(kWidth, kHeight, 24, true);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) picture.SetPixel(x, y, static_cast<Rgb>(x * 4 << 16 | y * 5));
  }
  BitBlt(other.dc, 0, 0, kWidth, kHeight, picture.dc, 0, 0, SRCCOPY);
  Dib patch(10, 10, 24, true);
  patch.Fill(0xFFFFFF);
  RECT text_line{0, 10, kWidth, 40};
  struct Between {
    const char* name;
    std::function<void(HDC window_dc)> draw;
  };
  const Between cases[] = {
      {"nothing", [](HDC) {}},
      {"a copy into the bitmap",
       [&](HDC) { BitBlt(back.dc, 5, 6, 20, 10, other.dc, 0, 0, SRCCOPY); }},
      {"a DIB into the bitmap",
       [&](HDC) { BitBlt(back.dc, 30, 30, 10, 10, patch.dc, 0, 0, SRCCOPY); }},
      {"text on the bitmap", [&](HDC) { DrawTextW(back.dc, u"12:05", -1, &text_line, 0); }},
      {"a copy onto part of the window",
       [&](HDC dc) { BitBlt(dc, 3, 3, 10, 10, patch.dc, 0, 0, SRCCOPY); }},
      {"text on the window", [&](HDC dc) { DrawTextW(dc, u"12:05", -1, &text_line, 0); }},
      {"another bitmap over the whole window",
       [&](HDC dc) { BitBlt(dc, 0, 0, kWidth, kHeight, other.dc, 0, 0, SRCCOPY); }},
      {"the same bitmap from another place",
       [&](HDC dc) { BitBlt(dc, 0, 0, kWidth, kHeight, back.dc, 1, 2, SRCCOPY); }},
      {"more copies into the bitmap than it remembers",
       [&](HDC) {
         for (int i = 0; i < 40; ++i) BitBlt(back.dc, i, i % 40, 1, 1, patch.dc, 0, 0, SRCCOPY);
       }},
      {"more drawings on the window than it remembers",
       [&](HDC dc) {
         for (int i = 0; i < 20; ++i) BitBlt(dc, 2 * i, 1, 1, 1, patch.dc, 0, 0, SRCCOPY);
       }},
  };
  for (const Between& between : cases) {
    SCOPED_TRACE(between.name);
    HWND window = Window(0, 0, kWidth, kHeight, true);
    BitBlt(back.dc, 0, 0, kWidth, kHeight, picture.dc, 0, 0, SRCCOPY);
    HDC dc = GetDC(window);
    BitBlt(dc, 0, 0, kWidth, kHeight, back.dc, 0, 0, SRCCOPY);
    between.draw(dc);
    BitBlt(dc, 0, 0, kWidth, kHeight, back.dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    const std::vector<std::uint8_t> screen = CaptureScreen();
    int differing = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x)
        differing += ScreenPixel(screen, x, y) != *PixelOf(back.dc, x, y);
    }
    EXPECT_EQ(differing, 0);
    DestroyWindow(window);
  }
}

int presents_seen = 0;
void CountPresent(const testing::PresentedWindow&) { ++presents_seen; }

TEST_F(HeadlessDisplay, OnlyACopyThatChangesPixelsIsPresented) {
  HWND window = Window(0, 0, 100, 100, true);
  Dib picture(100, 100, 24, true);
  picture.Fill(0x123456);
  testing::ObservePresents(CountPresent);
  const auto copy_and_count = [&] {
    presents_seen = 0;
    HDC dc = GetDC(window);
    BitBlt(dc, 0, 0, 100, 100, picture.dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    return presents_seen;
  };
  EXPECT_EQ(copy_and_count(), 1) << "a new picture";
  EXPECT_EQ(copy_and_count(), 0) << "the same picture again";
  picture.SetPixel(99, 99, 0x123457);
  EXPECT_EQ(copy_and_count(), 1) << "one pixel changed";
  testing::ObservePresents(nullptr);
}

TEST_F(HeadlessDisplay, PenEventsReachTheWindowUnderThePointInItsCoordinates) {
  HWND left = Window(0, 0, 400, 480, true);
  HWND right = Window(400, 100, 400, 380, true);
  struct Touch {
    int x, y;
    HWND window;
    int window_x, window_y;
  };
  for (const Touch& touch : {Touch{10, 20, left, 10, 20}, Touch{399, 479, left, 399, 479},
                             Touch{400, 100, right, 0, 0}, Touch{771, 29, nullptr, 0, 0},
                             Touch{799, 479, right, 399, 379}, Touch{500, 50, nullptr, 0, 0}}) {
    const bool delivered = InjectPen(Pen::Down, touch.x, touch.y);
    ASSERT_EQ(delivered, touch.window != nullptr) << touch.x << "," << touch.y;
    if (!delivered) continue;
    const MSG down = NextMessage();
    EXPECT_EQ(down.hwnd, touch.window);
    EXPECT_EQ(down.message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(LOWORD(down.lParam), touch.window_x);
    EXPECT_EQ(HIWORD(down.lParam), touch.window_y);
    ASSERT_TRUE(InjectPen(Pen::Up, touch.x, touch.y));
    const MSG up = NextMessage();
    EXPECT_EQ(up.hwnd, touch.window);
    EXPECT_EQ(up.message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(up.lParam, down.lParam);
  }
}

TEST_F(HeadlessDisplay, TheFingerLiftsOnTheWindowItTouched) {
  HWND left = Window(0, 0, 400, 480, true);
  Window(400, 0, 400, 480, true);
  ASSERT_TRUE(InjectPen(Pen::Down, 390, 10));
  ASSERT_TRUE(InjectPen(Pen::Up, 410, 10));
  NextMessage();
  const MSG up = NextMessage();
  EXPECT_EQ(up.hwnd, left);
  EXPECT_EQ(LOWORD(up.lParam), 410);
}

TEST_F(HeadlessDisplay, BeginPaintTakesTheUpdateRegionAndEndPaintShowsTheDrawing) {
  HWND window = Window(0, 0, 320, 200, false);
  ShowWindow(window, SW_SHOW);
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(paint.hdc, dc);
  EXPECT_EQ(paint.rcPaint.right, 320);
  EXPECT_EQ(paint.rcPaint.bottom, 200);
  Dib picture(320, 200, 24, true);
  picture.Fill(0x445566);
  EXPECT_TRUE(BitBlt(dc, 0, 0, 320, 200, picture.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(ReleaseDC(window, dc), 0) << "a paint context ends with EndPaint";
  EXPECT_TRUE(EndPaint(window, &paint));
  EXPECT_FALSE(EndPaint(window, &paint)) << "only once";
  EXPECT_EQ(ScreenPixel(CaptureScreen(), 319, 199), 0x445566u);
  // Validated: a second paint has nothing to update, yet still draws.
  dc = BeginPaint(window, &paint);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(paint.rcPaint.right - paint.rcPaint.left, 0);
  EXPECT_TRUE(EndPaint(window, &paint));
}

TEST_F(HeadlessDisplay, WindowContextsEndOnlyWithTheirOwnWindow) {
  HWND window = Window(0, 0, 10, 10, true);
  HWND other = Window(0, 0, 10, 10, true);
  HDC dc = GetDC(window);
  EXPECT_EQ(ReleaseDC(other, dc), 0);
  EXPECT_FALSE(DeleteDC(dc)) << "a window context is released, not deleted";
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 2, 2);
  EXPECT_EQ(SelectObject(dc, bitmap), nullptr) << "no bitmap goes into a window context";
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_EQ(ReleaseDC(window, dc), 1);
  EXPECT_EQ(ReleaseDC(window, dc), 0) << "only once";
  PAINTSTRUCT paint{};
  EXPECT_EQ(BeginPaint(window, nullptr), nullptr);
  EXPECT_FALSE(EndPaint(window, nullptr));
  EXPECT_FALSE(EndPaint(window, &paint));
}

TEST_F(HeadlessDisplay, AContextOfADestroyedWindowDrawsNothing) {
  HWND window = CreateWindowExW(0, u"DrawingTestWindow", u"Gone", WS_POPUP | WS_VISIBLE, 0, 0, 10,
                                10, nullptr, nullptr, nullptr, nullptr);
  HDC dc = GetDC(window);
  Dib picture(10, 10, 24, true);
  DestroyWindow(window);
  EXPECT_FALSE(BitBlt(dc, 0, 0, 10, 10, picture.dc, 0, 0, SRCCOPY));
  RECT rect{0, 0, 10, 10};
  EXPECT_EQ(DrawTextW(dc, u"x", 1, &rect, 0), 0);
  EXPECT_EQ(GetDC(window), nullptr);
  EXPECT_EQ(ReleaseDC(window, dc), 1) << "the context itself still ends";
}

TEST_F(HeadlessDisplay, FindWindowMatchesClassAndTitleIgnoringCaseAmongOwnWindows) {
  HWND hidden = Window(0, 0, 10, 10, false, u"QUELT_VER120");
  HWND other = Window(0, 0, 10, 10, true, u"Atlan");
  EXPECT_EQ(FindWindowW(u"DrawingTestWindow", u"QUELT_VER120"), hidden) << "hidden ones too";
  EXPECT_EQ(FindWindowW(u"drawingtestwindow", u"quelt_ver120"), hidden);
  EXPECT_EQ(FindWindowW(nullptr, u"Atlan"), other);
  EXPECT_EQ(FindWindowW(u"OtherClass", u"Atlan"), nullptr);
  EXPECT_EQ(FindWindowW(nullptr, u"Atla"), nullptr);
  EXPECT_EQ(FindWindowW(u"DrawingTestWindow", nullptr), hidden) << "any title";
}

TEST_F(HeadlessDisplay, ForegroundIsTheVisibleWindowLastBroughtForward) {
  HWND first = Window(0, 0, 10, 10, true);
  HWND second = Window(0, 0, 10, 10, false);
  EXPECT_EQ(GetForegroundWindow(), nullptr) << "showing alone brings nothing forward";
  EXPECT_FALSE(SetForegroundWindow(second)) << "hidden";
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  // A handle with its lowest bit set names the same window.
  const auto odd = reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(first) | 1);
  EXPECT_TRUE(SetForegroundWindow(odd));
  EXPECT_EQ(GetForegroundWindow(), first);
  ShowWindow(second, SW_SHOW);
  EXPECT_TRUE(SetForegroundWindow(second));
  EXPECT_EQ(GetForegroundWindow(), second);
  ShowWindow(second, SW_HIDE);
  EXPECT_EQ(GetForegroundWindow(), nullptr) << "hiding the foreground window leaves none";
  ShowWindow(second, SW_SHOW);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_TRUE(SetForegroundWindow(first));
  DestroyWindow(first);
  windows_.erase(windows_.begin());
  EXPECT_EQ(GetForegroundWindow(), nullptr) << "nor does destroying it";
  EXPECT_FALSE(SetForegroundWindow(first));
  EXPECT_FALSE(SetForegroundWindow(nullptr));
}

}  // namespace
}  // namespace platform::test
