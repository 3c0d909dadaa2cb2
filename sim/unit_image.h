// An image file that stands in for the audio unit's USB device: the panel, given its path as a
// link device, finds the controller's signature, shows itself and mirrors one LCD frame. For
// trying an installed panel without the unit.
//
// The panel writes each command packet over the whole of sector 629, so what it reads back there
// is its own packet; the image keeps everything in sectors 630 to 638. Those hold 27 chunks: the
// frame's halves that have a lit pixel, the frame end (page 14's right half) last, and the show
// key (0x53) in the first, which the panel answers on every read as the unit's own request.
#pragma once

#include <cstdint>
#include <string>

#include "sim/lcd_image.h"

namespace sim {

// signature_sector: the 512 bytes of sector 597. False, with the reason in *error, when the
// frame has more lit halves than the image can carry or the file cannot be written.
bool WriteUnitImage(const std::string& path, const std::uint8_t* signature_sector,
                    const LcdImage& frame, std::string* error);

}  // namespace sim
