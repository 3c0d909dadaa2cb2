# A 64-bit ARM (arm64) build on an amd64 Debian: scripts/setup arm64 installs what it needs. For
# example
#   cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DQUELT_NBD=OFF
# libnbd-dev:arm64 cannot stand beside the host's libnbd, so such a build leaves NBD out.
set(quelt_triple aarch64-linux-gnu)
set(quelt_processor aarch64)
set(quelt_debian_architecture arm64)
set(quelt_qemu qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/arm-cross-clang.cmake)
