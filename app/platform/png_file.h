// PNG files of 24-bit RGB pictures: the screen of a headless run for the user to look at, and
// the simulator's LCD captures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// rgb: width x height pixels, three bytes each, rows top first. The file is written under a
// temporary name beside path and renamed over it, so a reader finds the previous picture or the
// new one whole, never half a file. False when it cannot be written.
bool WritePngFile(const std::string& path, int width, int height,
                  const std::vector<std::uint8_t>& rgb);

}  // namespace platform
