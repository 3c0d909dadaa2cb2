// Arbitrary stream reads into the frame assembler. After every read the pixel matrix must hold
// only 0 and 255, nothing outside rows 0 to 119 and columns 2 to 312, and inside that area exactly
// the bits of the last applied page bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/panel_state.h"
#include "lcd/frame_assembly.h"

namespace {

// The matrix that the shadow's bytes expand to, kept up to date from the shadow bytes that changed
// since the last input; everything outside the applied pages and columns stays 0.
std::uint8_t expected[LcdMatrixRows][LcdMatrixColumns];
std::uint8_t shadow_seen[LcdPageSlots][LcdPageBytes];

// Not instrumented: the check walks the shadow and says nothing about the assembler's paths.
__attribute__((no_sanitize("coverage"))) bool MatrixMatchesShadow() {
  for (int page = 0; page < LcdPageSlots; ++page) {
    for (int column = 0; column < LcdPageBytes; ++column) {
      const std::uint8_t value = Panel.LcdPageShadow[page][column];
      if (value == shadow_seen[page][column]) continue;
      shadow_seen[page][column] = value;
      const bool applied =
          page < AppliedPages && column >= FirstAppliedColumn && column <= LastAppliedColumn;
      // The shadow is written only where a frame is applied.
      if (!applied) return false;
      for (int bit = 0; bit < 8; ++bit)
        expected[8 * page + bit][column] = (value >> bit) & 1 ? 255 : 0;
    }
  }
  return std::memcmp(expected, Panel.LcdPixelMatrix, sizeof expected) == 0;
}

// A shorter input repeats to fill the read, so that even a few bytes reach the key and row-id
// positions of every sector; a longer one is cut to one read. Not instrumented: a counted byte
// loop here cost more than the assembler itself.
__attribute__((no_sanitize("coverage"))) void FillBatch(const std::uint8_t* data, std::size_t size,
                                                        std::uint8_t* batch) {
  std::size_t filled = std::min(size, std::size_t{StreamBufferBytes});
  std::memcpy(batch, data, filled);
  while (filled < StreamBufferBytes) {
    const std::size_t copied = std::min(filled, StreamBufferBytes - filled);
    std::memcpy(batch + filled, batch, copied);
    filled += copied;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The key and refresh messages go to a window that no longer exists, so that they are refused
  // at once instead of piling up in a queue that nothing reads (each input would then allocate,
  // and the leak check after it would scan the whole heap).
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.lpszClassName = W("LcdBatchFuzz");
  RegisterClassW(&window_class);
  Panel.MainWindow = CreateWindowExW(0, W("LcdBatchFuzz"), W("LcdBatchFuzz"), WS_POPUP, 0, 0, 1, 1,
                                     nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(Panel.MainWindow);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::uint8_t batch[StreamBufferBytes];
  if (size == 0) return 0;
  FillBatch(data, size, batch);
  // The state carries over from input to input, as it does from tick to tick.
  ProcessLcdBatch(batch);
  if (!MatrixMatchesShadow()) std::abort();
  return 0;
}
