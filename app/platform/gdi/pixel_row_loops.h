// The loops behind the row conversions of pixel_rows.h, one per instruction set; pixel_rows.cpp
// chooses among them. The vector ones exist only where their instruction set can be compiled.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gdi/pixel_rows.h"

namespace platform::gdi {

void Expand24To32Portable(const std::uint8_t* source, std::uint32_t* target, int count);
ChangedSpan OverwriteRowPortable(std::uint32_t* row, const std::uint32_t* pixels, int count);
void Pack32To24Libyuv(const std::uint8_t* source, std::ptrdiff_t source_stride,
                      std::uint8_t* target, std::ptrdiff_t target_stride, int width, int height);

#if defined(__arm__) || defined(__aarch64__)
void Expand24To32Neon(const std::uint8_t* source, std::uint32_t* target, int count);
#endif
// 64-bit ARM has NEON loops for these already, in libyuv and glibc.
#if defined(__arm__)
ChangedSpan OverwriteRowNeon(std::uint32_t* row, const std::uint32_t* pixels, int count);
void Pack32To24Neon(const std::uint8_t* source, std::ptrdiff_t source_stride, std::uint8_t* target,
                    std::ptrdiff_t target_stride, int width, int height);
#endif

}  // namespace platform::gdi
