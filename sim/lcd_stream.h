// Reassembles the LCD from the sectors a panel reads: each exchange sector carries three 160-byte
// chunks whose row ids (bytes 508 to 510) place them (low four bits: page; above 126: right half),
// and row id 0x8E closes a frame. Used by the capture tool and the tests to see what a panel sees.
#pragma once

#include <cstdint>

#include "sim/lcd_image.h"

namespace sim {

struct LcdStream {
  std::uint8_t pages[16][LcdWidth] = {};
  LcdImage last_frame;
  int frames = 0;
};

// Files the chunks of one 512-byte exchange sector; copies the image out at every frame end.
void FileLcdSector(LcdStream* stream, const std::uint8_t* sector);

}  // namespace sim
