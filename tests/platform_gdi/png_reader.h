// Reads back the PNG files the platform writes: every chunk's CRC checked, the image data
// inflated and each row's filter byte checked. Used by the PNG writer's tests and by the tests of
// the headless screen's picture file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::test {

struct PngPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;    // three bytes a pixel, rows top first
  std::vector<std::string> chunks;  // chunk types in file order
};

// False, with the reason in *error, for anything but a whole, valid 8-bit RGB PNG file.
bool ReadPngFile(const std::string& path, PngPicture* picture, std::string* error);

}  // namespace platform::test
