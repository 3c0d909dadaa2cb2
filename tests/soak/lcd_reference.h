// The controller's LCD as the soak reassembles it from the stream reads it watches, written from
// the description of the stream and apart from the panel's own frame assembly: the reference that
// the panel's pixel matrix and the screen are checked against.
#pragma once

#include <cstdint>

struct LcdReference {
  static constexpr int Rows = 130;
  static constexpr int Columns = 340;
  std::uint8_t pages[16][512] = {};
  std::uint8_t applied[16][512] = {};
  std::uint8_t matrix[Rows][Columns] = {};  // 255 lit, 0 dark
};

// A good 10-sector stream read of 5120 bytes.
void TakeStreamRead(LcdReference* lcd, const std::uint8_t* sectors);
