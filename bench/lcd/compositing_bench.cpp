// LCD compositing on the 800 x 480 canvas, each rendering against a memcpy of the canvas rows it
// covers, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "app/panel_state.h"
#include "app/start_up.h"
#include "bench/against_memcpy.h"
#include "lcd/lcd_compositing.h"

namespace {

constexpr int Width = 800;
constexpr int Height = 480;

// The two surfaces as start-up makes them, a backdrop with some content, and a matrix lit like a
// busy LCD (about a third of its shown pixels).
void PrepareSurfaces() {
  ResetPanelState();
  HDC dc = CreateCompatibleDC(nullptr);
  Panel.LcdBackdropDib = CreateCanvasDib(dc, Width, Height);
  Panel.LcdCanvasDib = CreateCanvasDib(dc, Width, Height);
  DeleteDC(dc);
  GetObjectW(Panel.LcdBackdropDib, sizeof(BITMAP), &Panel.LcdBackdropHeader);
  GetObjectW(Panel.LcdCanvasDib, sizeof(BITMAP), &Panel.LcdCanvasHeader);
  std::memset(Panel.LcdBackdropHeader.bmBits, 0x30,
              static_cast<std::size_t>(Panel.LcdBackdropHeader.bmWidthBytes) * Height);
  std::mt19937 random(7);
  for (int m = 0; m < 120; ++m) {
    for (int c = 2; c <= 312; ++c) Panel.LcdPixelMatrix[m][c] = random() % 3 == 0 ? 255 : 0;
  }
}

void ReleaseSurfaces() {
  DeleteObject(Panel.LcdBackdropDib);
  DeleteObject(Panel.LcdCanvasDib);
  Panel.LcdBackdropDib = Panel.LcdCanvasDib = nullptr;
}

// What each rendering covers: picture rows 14 to 479 in the full panel, every row in the compact
// view, 2400 bytes each.
constexpr std::size_t RowBytes = Width * 3;
constexpr std::size_t FullRenderingBytes = RowBytes * (Height - 14);
constexpr std::size_t CompactRenderingBytes = RowBytes * Height;

void BM_CompositeLcdFull(benchmark::State& state) {
  PrepareSurfaces();
  Panel.LcdFillStyle = static_cast<std::int32_t>(state.range(0));
  state.SetLabel(Panel.LcdFillStyle ? "solid" : "dotted");
  bench::AgainstMemcpy(state, FullRenderingBytes, [] { CompositeLcdFull(); });
  ReleaseSurfaces();
}

void BM_CompositeLcdCompact(benchmark::State& state) {
  PrepareSurfaces();
  bench::AgainstMemcpy(state, CompactRenderingBytes, [] { CompositeLcdCompact(); });
  ReleaseSurfaces();
}

}  // namespace

BENCHMARK(BM_CompositeLcdFull)->Arg(0)->Arg(1);
BENCHMARK(BM_CompositeLcdCompact);
BENCHMARK_MAIN();
