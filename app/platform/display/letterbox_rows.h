// The two loops of the letterbox drawing, one row between the bars at a time: the scaled row
// (nearest-neighbour samples through a column map) and the row drawn at its own size. Each sets
// the top byte of every pixel, so a consumer that reads it as alpha sees the picture opaque. A
// portable pair and, where the CPU runs it, a NEON pair, chosen once from the CPU's description.
#pragma once

#include <cstdint>
#include <vector>

namespace platform::display {

struct LetterboxRowPath {
  const char* name;
  // out[i] = source[columns[i]] | 0xFF000000 for i in [0, count); every column inside the row.
  void (*scale_row)(const std::uint32_t* source, const int* columns, std::uint32_t* out, int count);
  // out[i] = source[i] | 0xFF000000 for i in [0, count).
  void (*copy_row)(const std::uint32_t* source, std::uint32_t* out, int count);
};

const LetterboxRowPath& ChosenLetterboxRowPath();

// Every path this CPU runs, the portable one first and the chosen one last; tests hold each to
// the first, pixel for pixel.
std::vector<LetterboxRowPath> RunnableLetterboxRowPaths();

#if defined(__arm__) || defined(__aarch64__)
void ScaleLetterboxRowNeon(const std::uint32_t* source, const int* columns, std::uint32_t* out,
                           int count);
#endif
// On 64-bit ARM the compiler turns the portable copy into NEON by itself.
#if defined(__arm__)
void CopyLetterboxRowNeon(const std::uint32_t* source, std::uint32_t* out, int count);
#endif

}  // namespace platform::display
