// Reads the CPU's vector units: cpuid on x86; on ARM, the hardware capabilities the kernel hands
// every process (getauxval(AT_HWCAP)), since user code may not read ARM's identification registers
// on every kernel.
#include "platform/internal/vector_units.h"

#if defined(__arm__) || defined(__aarch64__)
#include <sys/auxv.h>
#endif
#if defined(__arm__)
#include <asm/hwcap.h>
#endif

namespace platform {
namespace {

VectorUnits ReadVectorUnits() {
  VectorUnits units;
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  units.ssse3 = __builtin_cpu_supports("ssse3");
#elif defined(__aarch64__)
  units.neon = (getauxval(AT_HWCAP) & HWCAP_ASIMD) != 0;
#elif defined(__arm__)
  units.neon = (getauxval(AT_HWCAP) & HWCAP_NEON) != 0;
#endif
  return units;
}

}  // namespace

const VectorUnits& HostVectorUnits() {
  static const VectorUnits units = ReadVectorUnits();
  return units;
}

}  // namespace platform
