// RefreshPanel, the handler that runs up to 20 times a second, on a shown window of the headless
// display with the panel's own pictures and a simulator LCD whose text line scrolls. Each case
// against a memcpy of the bytes its steps must write:
//   full panel: the backdrop fill (722 x 451 x 3 after clipping), the rendering (466 rows of
//     2400), the LCD rectangle (614 x 210 x 4), the indicators (52 x 14, 72 x 14, 15 x 10, x 4),
//     the whole window (800 x 480 x 4) and the clock's rectangle (318 x 30 x 4);
//   compact view: the backdrop fill (330 x 120 x 3), the rendering (480 rows of 2400), the LCD
//     rectangle (320 x 110 x 4) and the whole window.
// The presentation to a real display is measured in present_bench.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/panel_state.h"
#include "app/pictures.h"
#include "app/start_up.h"
#include "bench/against_memcpy.h"
#include "lcd/screen_paint.h"
#include "platform/resources.h"
#include "platform/testing_display.h"
#include "resources/panel_resources.h"
#include "sim/audio_unit.h"

namespace {

constexpr int Width = 800;
constexpr int Height = 480;
constexpr std::size_t FullPanelBytes = 722 * 451 * 3 + 466 * 2400 + 614 * 210 * 4 +
                                       (52 * 14 + 72 * 14 + 15 * 10) * 4 + Width * Height * 4 +
                                       318 * 30 * 4;
constexpr std::size_t CompactViewBytes =
    330 * 120 * 3 + Height * 2400 + 320 * 110 * 4 + Width * Height * 4;

LRESULT PlainProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

// The window, the pictures and the drawing surfaces as start-up leaves them, with the sample
// compact background on a storage card of its own.
HWND PreparePanel() {
  static const HWND window = [] {
    platform::testing::ForceHeadlessDisplay();
    SetResourceTable(&PanelResources());
    const std::filesystem::path card = std::filesystem::temp_directory_path() /
                                       ("quelt-refresh-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(card);
    std::filesystem::copy_file(QUELT_SOURCE_DIR "/resources/storage-card/QUELTIMAGE.bmp",
                               card / "QUELTIMAGE.bmp",
                               std::filesystem::copy_options::overwrite_existing);
    setenv("QUELT_STORAGE_CARD", card.c_str(), 1);

    ResetPanelState();
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = PlainProcedure;
    window_class.lpszClassName = u"RefreshBench";
    RegisterClassW(&window_class);
    HWND made = CreateWindowExW(0, u"RefreshBench", u"RefreshBench", WS_POPUP | WS_VISIBLE, 0, 0,
                                Width, Height, nullptr, nullptr, nullptr, nullptr);
    Panel.MainWindow = made;
    LoadPictures(made);
    HDC dc = GetDC(made);
    if (!CreateDrawingSurfaces(dc)) std::abort();
    ReleaseDC(made, dc);
    std::filesystem::remove_all(card);
    return made;
  }();
  return window;
}

struct Matrix {
  std::uint8_t pixels[LcdMatrixRows][LcdMatrixColumns] = {};
};

// The simulator's LCD with its programme text scrolled on by one step (40 ms) per frame, expanded
// into matrices as frame assembly does.
const std::vector<std::unique_ptr<Matrix>>& ScrollingFrames() {
  static const std::vector<std::unique_ptr<Matrix>> frames = [] {
    std::vector<std::unique_ptr<Matrix>> made;
    sim::AudioUnit unit;
    unit.info_shown = true;
    SYSTEMTIME time{};
    time.wHour = 9;
    time.wMinute = 5;
    for (std::uint32_t now_ms = 0; now_ms < 64 * 40; now_ms += 40) {
      sim::LcdImage image;
      sim::DrawAudioUnit(unit, time, now_ms, &image);
      auto& matrix = made.emplace_back(std::make_unique<Matrix>());
      for (int y = 0; y < sim::LcdHeight; ++y) {
        for (int x = 0; x < sim::LcdWidth; ++x)
          matrix->pixels[y][x] = sim::LcdPixel(image, x, y) ? 255 : 0;
      }
    }
    return made;
  }();
  return frames;
}

void ShowFrame(std::size_t index) {
  const auto& frames = ScrollingFrames();
  std::lock_guard<std::mutex> hold(Panel.LcdMatrixLock);
  std::memcpy(Panel.LcdPixelMatrix, frames[index % frames.size()]->pixels, sizeof(Matrix));
}

// The LCD scrolls by one step between refreshes (the 44 kB of the matrix copied in are part of
// the time), or stands still (the refresh on every tick once ten have passed without a change).
void Refresh(benchmark::State& state, std::uint8_t panel_mode, std::size_t bytes, bool scrolling) {
  const HWND window = PreparePanel();
  Panel.PanelMode = panel_mode;
  ShowFrame(0);
  PaintPanel(window);
  std::size_t frame = 0;
  bench::AgainstMemcpy(state, bytes, [&] {
    if (scrolling) ShowFrame(++frame);
    RefreshPanel(window);
  });
}

void BM_RefreshFullPanelLcdChanged(benchmark::State& state) {
  Refresh(state, 1, FullPanelBytes, true);
}
void BM_RefreshFullPanelLcdUnchanged(benchmark::State& state) {
  Refresh(state, 1, FullPanelBytes, false);
}
void BM_RefreshCompactViewLcdChanged(benchmark::State& state) {
  Refresh(state, 0, CompactViewBytes, true);
}

}  // namespace

BENCHMARK(BM_RefreshFullPanelLcdChanged);
BENCHMARK(BM_RefreshFullPanelLcdUnchanged);
BENCHMARK(BM_RefreshCompactViewLcdChanged);
BENCHMARK_MAIN();
