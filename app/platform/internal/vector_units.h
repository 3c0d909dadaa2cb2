// The vector instructions this CPU runs, read once from its description: the pixel conversions
// and the letterbox drawing choose their loops from it, keeping a portable loop for CPUs that
// have none of them.
#pragma once

namespace platform {

struct VectorUnits {
  bool ssse3 = false;  // x86 byte shuffles
  bool neon = false;   // ARM Advanced SIMD: always on 64-bit ARM, optional on 32-bit
};

const VectorUnits& HostVectorUnits();

}  // namespace platform
