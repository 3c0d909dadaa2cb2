// The letterbox row loops in ARM's Advanced SIMD (NEON), four pixels a register. NEON has no
// gathering load, so the scaled row fetches its four samples lane by lane, sets their top bytes
// and stores them together. The copy is ours on 32-bit ARM only, where the compiler may not
// vectorise the portable one. On 32-bit ARM this file alone is compiled for NEON, and is only
// called when the CPU has it.
#include <arm_neon.h>

#include "platform/display/letterbox_rows.h"

namespace platform::display {

void ScaleLetterboxRowNeon(const std::uint32_t* source, const int* columns, std::uint32_t* out,
                           int count) {
  const uint32x4_t opaque = vdupq_n_u32(0xFF000000u);
  int x = 0;
  for (; x + 4 <= count; x += 4) {
    uint32x4_t pixels = vdupq_n_u32(0);
    pixels = vld1q_lane_u32(source + columns[x], pixels, 0);
    pixels = vld1q_lane_u32(source + columns[x + 1], pixels, 1);
    pixels = vld1q_lane_u32(source + columns[x + 2], pixels, 2);
    pixels = vld1q_lane_u32(source + columns[x + 3], pixels, 3);
    vst1q_u32(out + x, vorrq_u32(pixels, opaque));
  }
  for (; x < count; ++x) out[x] = source[columns[x]] | 0xFF000000u;
}

#if defined(__arm__)
void CopyLetterboxRowNeon(const std::uint32_t* source, std::uint32_t* out, int count) {
  const uint32x4_t opaque = vdupq_n_u32(0xFF000000u);
  int x = 0;
  for (; x + 8 <= count; x += 8) {
    vst1q_u32(out + x, vorrq_u32(vld1q_u32(source + x), opaque));
    vst1q_u32(out + x + 4, vorrq_u32(vld1q_u32(source + x + 4), opaque));
  }
  for (; x < count; ++x) out[x] = source[x] | 0xFF000000u;
}
#endif

}  // namespace platform::display
