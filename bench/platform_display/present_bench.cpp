// The presentation: the BackBuffer copied onto a shown 800 x 480 window and handed to the display
// (GetDC, BitBlt, ReleaseDC), as every refresh of the panel ends, after the whole BackBuffer, its
// LCD rectangle or nothing of it changed. The display is whichever the
// platform chooses: SDL when DISPLAY names an X server (scripts/bench starts a private Xvfb), else
// headless; QUELT_DISPLAY=headless forces the latter. Each case against a memcpy of the bytes
// that must reach the screen; when nothing changed, against the whole copy the refresh names.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bench/against_memcpy.h"
#include "platform/win32.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 480;
constexpr std::size_t kFrame32 = std::size_t{kWidth} * kHeight * 4;
// The LCD rectangle of the full panel, which a streamed frame changes.
constexpr RECT kLcd{93, 61, 93 + 614, 61 + 210};
constexpr std::size_t kLcdBytes = std::size_t{614} * 210 * 4;

LRESULT PlainProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

constexpr UINT_PTR kPumpTimer = 1;

// Lets the display deliver what it has (the window's exposure, focus) for a while.
void PumpMessages(HWND window, UINT ms) {
  SetTimer(window, kPumpTimer, ms, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) {
    if (message.message == WM_TIMER && message.wParam == kPumpTimer) break;
    DispatchMessageW(&message);
  }
  KillTimer(window, kPumpTimer);
}

HWND ShownWindow() {
  static HWND window = [] {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = PlainProcedure;
    window_class.lpszClassName = u"PresentBench";
    RegisterClassW(&window_class);
    HWND made = CreateWindowExW(0, u"PresentBench", u"PresentBench", WS_POPUP | WS_VISIBLE, 0, 0,
                                kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
    PumpMessages(made, 300);
    return made;
  }();
  return window;
}

// A device bitmap with a scrambled picture, made through a DIB section.
HDC Picture(unsigned seed) {
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, CreateCompatibleBitmap(dc, kWidth, kHeight));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::mt19937 random(seed);
  auto* pixels = static_cast<std::uint32_t*>(bits);
  for (std::size_t i = 0; i < std::size_t{kWidth} * kHeight; ++i) pixels[i] = random() & 0xFFFFFF;
  HDC dib_dc = CreateCompatibleDC(nullptr);
  SelectObject(dib_dc, dib);
  BitBlt(dc, 0, 0, kWidth, kHeight, dib_dc, 0, 0, SRCCOPY);
  DeleteDC(dib_dc);
  DeleteObject(dib);
  return dc;
}

enum class Change { Whole, Lcd, Nothing };

// As a refresh ends: one BackBuffer, drawn on beforehand (untimed) where the case changes it,
// copied whole onto the window and presented.
void Present(benchmark::State& state, Change change) {
  const HWND window = ShownWindow();
  HDC back = Picture(1);
  HDC pictures[2] = {Picture(2), Picture(3)};
  int next = 0;
  const auto change_back_buffer = [&] {
    if (change == Change::Whole) {
      BitBlt(back, 0, 0, kWidth, kHeight, pictures[next], 0, 0, SRCCOPY);
    } else if (change == Change::Lcd) {
      BitBlt(back, kLcd.left, kLcd.top, kLcd.right - kLcd.left, kLcd.bottom - kLcd.top,
             pictures[next], kLcd.left, kLcd.top, SRCCOPY);
    }
    next ^= 1;
  };
  bench::AgainstMemcpyAfter(state, change == Change::Lcd ? kLcdBytes : kFrame32, change_back_buffer,
                            [&] {
                              HDC dc = GetDC(window);
                              BitBlt(dc, 0, 0, kWidth, kHeight, back, 0, 0, SRCCOPY);
                              ReleaseDC(window, dc);
                            });
  // The host's events (exposures, focus) wait in its queue otherwise.
  PumpMessages(window, 1);
}

void BM_PresentWholeScreenChanged(benchmark::State& state) { Present(state, Change::Whole); }
void BM_PresentLcdChanged(benchmark::State& state) { Present(state, Change::Lcd); }
void BM_PresentNothingChanged(benchmark::State& state) { Present(state, Change::Nothing); }

}  // namespace

BENCHMARK(BM_PresentWholeScreenChanged);
BENCHMARK(BM_PresentLcdChanged);
BENCHMARK(BM_PresentNothingChanged);
BENCHMARK_MAIN();
