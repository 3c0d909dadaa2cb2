// The end of a virtual run closes the kernel handles opened during it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// A mark below every handle opened from now on.
std::uint64_t KernelHandleWatermark();
// How many handles are open.
std::size_t KernelHandleCount();
// Closes (runs the close of) every handle opened since the mark and still open.
void CloseKernelHandlesSince(std::uint64_t watermark);

}  // namespace platform
