// LCD compositing on the 800 x 480 canvas, each rendering against a plain copy of the canvas's
// bytes measured in the same run: a rendering copies the backdrop row by row and stores the
// colour over the lit pixels, so the copy is its floor.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "app/panel_state.h"
#include "app/start_up.h"
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

std::int64_t CanvasBytes() {
  return static_cast<std::int64_t>(Panel.LcdCanvasHeader.bmWidthBytes) * Height;
}

void BM_MemcpyCanvas(benchmark::State& state) {
  PrepareSurfaces();
  for (auto _ : state) {
    std::memcpy(Panel.LcdCanvasHeader.bmBits, Panel.LcdBackdropHeader.bmBits, CanvasBytes());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * CanvasBytes());
  ReleaseSurfaces();
}

void BM_CompositeLcdFull(benchmark::State& state) {
  PrepareSurfaces();
  Panel.LcdFillStyle = static_cast<std::int32_t>(state.range(0));
  state.SetLabel(Panel.LcdFillStyle ? "solid" : "dotted");
  for (auto _ : state) {
    benchmark::DoNotOptimize(CompositeLcdFull());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * CanvasBytes());
  ReleaseSurfaces();
}

void BM_CompositeLcdCompact(benchmark::State& state) {
  PrepareSurfaces();
  for (auto _ : state) {
    benchmark::DoNotOptimize(CompositeLcdCompact());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * CanvasBytes());
  ReleaseSurfaces();
}

}  // namespace

BENCHMARK(BM_MemcpyCanvas);
BENCHMARK(BM_CompositeLcdFull)->Arg(0)->Arg(1);
BENCHMARK(BM_CompositeLcdCompact);
BENCHMARK_MAIN();
