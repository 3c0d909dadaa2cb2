# A 32-bit ARM (armhf) build on an amd64 Debian: scripts/setup armhf installs what it needs. For
# example
#   cmake -S . -B build-armhf -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake -DQUELT_NBD=OFF
# libnbd-dev:armhf cannot stand beside the host's libnbd, so such a build leaves NBD out.
set(quelt_triple arm-linux-gnueabihf)
set(quelt_processor armv7l)
set(quelt_debian_architecture armhf)
set(quelt_qemu qemu-arm)
# Debian's armhf baseline: ARMv7-A, Thumb-2, VFPv3 with 16 double registers and no NEON; the NEON
# loops are compiled apart and chosen at run time.
set(CMAKE_C_FLAGS_INIT "-march=armv7-a -mthumb -mfpu=vfpv3-d16 -mfloat-abi=hard")
set(CMAKE_CXX_FLAGS_INIT "-march=armv7-a -mthumb -mfpu=vfpv3-d16 -mfloat-abi=hard")
include(${CMAKE_CURRENT_LIST_DIR}/arm-cross-clang.cmake)
