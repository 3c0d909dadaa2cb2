// Arbitrary stream reads into the frame assembler. After every read the pixel matrix must hold
// only 0 and 255, nothing outside rows 0 to 119 and columns 2 to 312, and inside that area exactly
// the bits of the last applied page bytes.
#include <cstdint>
#include <cstdlib>

#include "app/panel_state.h"
#include "lcd/frame_assembly.h"

namespace {

// Not instrumented for coverage: the check walks every pixel and says nothing about the
// assembler's paths.
__attribute__((no_sanitize("coverage"))) bool MatrixMatchesShadow() {
  for (int row = 0; row < LcdMatrixRows; ++row) {
    for (int column = 0; column < LcdMatrixColumns; ++column) {
      const std::uint8_t pixel = Panel.LcdPixelMatrix[row][column];
      const bool applied =
          row < 8 * AppliedPages && column >= FirstAppliedColumn && column <= LastAppliedColumn;
      if (!applied) {
        if (pixel != 0) return false;
        continue;
      }
      const bool lit = (Panel.LcdPageShadow[row / 8][column] >> (row % 8)) & 1;
      if (pixel != (lit ? 255 : 0)) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A shorter input repeats to fill the read, so that even a few bytes reach the key and row-id
  // positions of every sector; a longer one is cut to one read.
  static std::uint8_t batch[StreamBufferBytes];
  if (size == 0) return 0;
  for (std::size_t i = 0; i < sizeof batch; ++i) batch[i] = data[i % size];
  // The state carries over from input to input, as it does from tick to tick.
  ProcessLcdBatch(batch);
  if (!MatrixMatchesShadow()) std::abort();
  return 0;
}
