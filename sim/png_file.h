// Writes 24-bit RGB pictures as PNG files (zlib does the compression).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// rgb: width x height pixels, three bytes each, rows top first. False when the file cannot be
// written.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace sim
