// Frame assembly of one stream read that ends a frame, against a memcpy of the read's 5120 bytes
// measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>

#include "app/panel_state.h"
#include "bench/against_memcpy.h"
#include "lcd/frame_assembly.h"

namespace {

// A whole frame: the left and right halves of pages 0 to 14, the frame end last; every data byte
// is fill.
void FillWholeFrame(std::uint8_t (&batch)[StreamBufferBytes], std::uint8_t fill) {
  std::memset(batch, fill, sizeof batch);
  for (int chunk = 0; chunk < 30; ++chunk) {
    const int page = chunk / 2;
    std::uint8_t* sector = batch + (chunk / 3) * SectorBytes;
    sector[508 + chunk % 3] = chunk % 2 ? 0x80 | page : page;
    sector[506] = 0;
  }
}

void BM_ProcessLcdBatchUnchangedFrame(benchmark::State& state) {
  ResetPanelState();
  static std::uint8_t batch[StreamBufferBytes];
  FillWholeFrame(batch, 0x3C);
  ProcessLcdBatch(batch);
  bench::AgainstMemcpy(
      state, StreamBufferBytes, [] { ProcessLcdBatch(batch); }, 64);
}

// Two frames that differ in every bit, taken in turn: every shown byte changes at every frame end.
void BM_ProcessLcdBatchEveryByteChanged(benchmark::State& state) {
  ResetPanelState();
  static std::uint8_t frames[2][StreamBufferBytes];
  FillWholeFrame(frames[0], 0x3C);
  FillWholeFrame(frames[1], 0xC3);
  int next = 0;
  bench::AgainstMemcpy(state, StreamBufferBytes, [&] {
    ProcessLcdBatch(frames[next]);
    next ^= 1;
  });
}

}  // namespace

BENCHMARK(BM_ProcessLcdBatchUnchangedFrame);
BENCHMARK(BM_ProcessLcdBatchEveryByteChanged);
BENCHMARK_MAIN();
