// One full-screen refresh's worth of one pixel conversion through one of its paths, repeated:
// scripts/count-instructions runs it under qemu's user-mode emulator, counts the instructions it
// executes with 1 and with 3 repeats, and halves the difference, leaving the instructions of one
// refresh without those of start-up. Time under an emulator says nothing about a real core; the
// instruction count does carry over.
//   quelt-vector-paths-workload list
//   quelt-vector-paths-workload CONVERSION PATH REPEATS
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/display/letterbox.h"
#include "platform/display/letterbox_rows.h"
#include "platform/gdi/pixel_rows.h"

namespace {

using platform::display::LetterboxRowPath;
using platform::gdi::PixelRowPath;

// The panel's screen, and the common head unit's screen it is letterboxed on.
constexpr int kWidth = 800;
constexpr int kHeight = 480;
constexpr int kAreaWidth = 1024;
constexpr int kAreaHeight = 600;

struct Pictures {
  std::vector<std::uint8_t> bytes;   // a 24-bit picture, or a 32-bit one read as bytes
  std::vector<std::uint32_t> words;  // a 32-bit picture
  std::vector<std::uint32_t> first;  // two 32-bit pictures that differ in every pixel
  std::vector<std::uint32_t> second;
  std::vector<std::uint32_t> area;  // the letterboxed screen
};

Pictures MakePictures() {
  std::mt19937 random(1);
  Pictures pictures;
  pictures.bytes.resize(std::size_t{kWidth} * kHeight * 4);
  for (std::uint8_t& byte : pictures.bytes) byte = static_cast<std::uint8_t>(random());
  pictures.words.resize(std::size_t{kWidth} * kHeight);
  for (std::uint32_t& word : pictures.words) word = random() & 0xFFFFFF;
  pictures.first = pictures.words;
  pictures.second = pictures.words;
  for (std::uint32_t& word : pictures.second) word ^= 0x010101;
  pictures.area.resize(std::size_t{kAreaWidth} * kAreaHeight);
  return pictures;
}

using Run = void (*)(Pictures&, const PixelRowPath&, const LetterboxRowPath&);

void Expand(Pictures& pictures, const PixelRowPath& path, const LetterboxRowPath&) {
  for (int y = 0; y < kHeight; ++y) {
    path.expand_24_to_32(pictures.bytes.data() + y * kWidth * 3, pictures.words.data() + y * kWidth,
                         kWidth);
  }
}

void Pack(Pictures& pictures, const PixelRowPath& path, const LetterboxRowPath&) {
  path.pack_32_to_24(reinterpret_cast<const std::uint8_t*>(pictures.words.data()), kWidth * 4,
                     pictures.bytes.data(), kWidth * 3, kWidth, kHeight);
}

// The comparing copy of a refresh where nothing changed: the whole picture is compared.
void CompareUnchanged(Pictures& pictures, const PixelRowPath& path, const LetterboxRowPath&) {
  for (int y = 0; y < kHeight; ++y) {
    path.overwrite_row(pictures.words.data() + y * kWidth, pictures.words.data() + y * kWidth,
                       kWidth);
  }
}

// Every pixel changed: found at once and copied. The repeats bring the two pictures in turn.
void CompareChanged(Pictures& pictures, const PixelRowPath& path, const LetterboxRowPath&) {
  for (int y = 0; y < kHeight; ++y) {
    path.overwrite_row(pictures.words.data() + y * kWidth, pictures.second.data() + y * kWidth,
                       kWidth);
  }
  pictures.first.swap(pictures.second);
}

// The picture scaled onto the head unit's screen, between the bars.
void Scale(Pictures& pictures, const PixelRowPath&, const LetterboxRowPath& path) {
  static const platform::display::Letterbox letterbox =
      platform::display::FitPicture(kWidth, kHeight, kAreaWidth, kAreaHeight);
  const RECT& fit = letterbox.fit;
  for (LONG row = fit.top; row < fit.bottom; ++row) {
    path.scale_row(pictures.words.data() + letterbox.source_rows[row] * kWidth,
                   letterbox.source_columns.data() + fit.left,
                   pictures.area.data() + row * kAreaWidth + fit.left, fit.right - fit.left);
  }
}

// The picture at its own size on a screen as tall and wider: a copy between the bars.
void Copy(Pictures& pictures, const PixelRowPath&, const LetterboxRowPath& path) {
  for (int y = 0; y < kHeight; ++y) {
    path.copy_row(pictures.words.data() + y * kWidth, pictures.area.data() + y * kAreaWidth + 112,
                  kWidth);
  }
}

struct Conversion {
  const char* name;
  Run run;
  bool letterbox;  // its paths are the letterbox's
};

constexpr Conversion kConversions[] = {
    {"expand-24-to-32", Expand, false},
    {"pack-32-to-24", Pack, false},
    {"compare-unchanged", CompareUnchanged, false},
    {"compare-changed", CompareChanged, false},
    {"letterbox-scale", Scale, true},
    {"letterbox-copy", Copy, true},
};

}  // namespace

int main(int argc, char** argv) {
  const std::vector<PixelRowPath> pixel_paths = platform::gdi::RunnablePixelRowPaths();
  const std::vector<LetterboxRowPath> letterbox_paths =
      platform::display::RunnableLetterboxRowPaths();
  if (argc == 2 && std::strcmp(argv[1], "list") == 0) {
    for (const Conversion& conversion : kConversions) {
      std::printf("%s", conversion.name);
      if (conversion.letterbox) {
        for (const LetterboxRowPath& path : letterbox_paths) std::printf(" %s", path.name);
      } else {
        for (const PixelRowPath& path : pixel_paths) std::printf(" %s", path.name);
      }
      std::printf("\n");
    }
    return 0;
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s list | CONVERSION PATH REPEATS\n", argv[0]);
    return 2;
  }
  const std::string path_name = argv[2];
  const int repeats = std::atoi(argv[3]);
  const PixelRowPath* pixel_path = &pixel_paths.front();
  const LetterboxRowPath* letterbox_path = &letterbox_paths.front();
  bool path_found = false;
  for (const PixelRowPath& path : pixel_paths) {
    if (path_name == path.name) pixel_path = &path, path_found = true;
  }
  for (const LetterboxRowPath& path : letterbox_paths) {
    if (path_name == path.name) letterbox_path = &path, path_found = true;
  }
  for (const Conversion& conversion : kConversions) {
    if (conversion.name != std::string(argv[1])) continue;
    if (!path_found) break;
    Pictures pictures = MakePictures();
    for (int i = 0; i < repeats; ++i) conversion.run(pictures, *pixel_path, *letterbox_path);
    std::printf(
        "%s %s %d %u\n", conversion.name, path_name.c_str(), repeats,
        static_cast<unsigned>(pictures.area[kAreaWidth * 300 + 512] ^ pictures.words[1000]));
    return 0;
  }
  std::fprintf(stderr, "%s: no conversion \"%s\" with a path \"%s\" on this CPU\n", argv[0],
               argv[1], argv[2]);
  return 2;
}
