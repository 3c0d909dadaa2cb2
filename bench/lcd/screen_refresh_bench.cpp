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

#include <cstddef>

#include "app/panel_state.h"
#include "bench/against_memcpy.h"
#include "bench/lcd/panel_on_headless.h"
#include "lcd/screen_paint.h"

namespace {

constexpr int Width = 800;
constexpr int Height = 480;
constexpr std::size_t FullPanelBytes = 722 * 451 * 3 + 466 * 2400 + 614 * 210 * 4 +
                                       (52 * 14 + 72 * 14 + 15 * 10) * 4 + Width * Height * 4 +
                                       318 * 30 * 4;
constexpr std::size_t CompactViewBytes =
    330 * 120 * 3 + Height * 2400 + 320 * 110 * 4 + Width * Height * 4;

// The LCD scrolls by one step between refreshes (the 44 kB of the matrix copied in are part of
// the time), or stands still (the refresh on every tick once ten have passed without a change).
void Refresh(benchmark::State& state, std::uint8_t panel_mode, std::size_t bytes, bool scrolling) {
  const HWND window = PreparePanel();
  Panel.PanelMode = panel_mode;
  ShowScrollingFrame(0);
  PaintPanel(window);
  std::size_t frame = 0;
  bench::AgainstMemcpy(state, bytes, [&] {
    if (scrolling) ShowScrollingFrame(++frame);
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
