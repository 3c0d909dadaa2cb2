// The portable letterbox row loops and the choice between them and the NEON ones
// (letterbox_rows_neon.cpp).
#include "platform/display/letterbox_rows.h"

#include "platform/internal/vector_units.h"

namespace platform::display {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000;

void ScaleRowPortable(const std::uint32_t* source, const int* columns, std::uint32_t* out,
                      int count) {
  for (int x = 0; x < count; ++x) out[x] = source[columns[x]] | kOpaque;
}

void CopyRowPortable(const std::uint32_t* source, std::uint32_t* out, int count) {
  for (int x = 0; x < count; ++x) out[x] = source[x] | kOpaque;
}

}  // namespace

std::vector<LetterboxRowPath> RunnableLetterboxRowPaths() {
  std::vector<LetterboxRowPath> paths{{"portable", ScaleRowPortable, CopyRowPortable}};
#if defined(__aarch64__)
  // The compiler vectorises the portable copy here, in fewer instructions than ours
  // (bench/RESULTS.md).
  if (HostVectorUnits().neon) paths.push_back({"neon", ScaleLetterboxRowNeon, CopyRowPortable});
#elif defined(__arm__)
  if (HostVectorUnits().neon) {
    paths.push_back({"neon", ScaleLetterboxRowNeon, CopyLetterboxRowNeon});
  }
#endif
  return paths;
}

const LetterboxRowPath& ChosenLetterboxRowPath() {
  static const LetterboxRowPath chosen = RunnableLetterboxRowPaths().back();
  return chosen;
}

}  // namespace platform::display
