// What the simulator tests share: a controller made from option text, the LCD without its clock,
// and a packet written into the exchange sector through an open link device.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "sim/controller.h"
#include "tests/platform_devices/sector_transfer.h"

inline std::unique_ptr<sim::Controller> MakeController(const std::string& options_text) {
  sim::ControllerOptions options;
  std::string error;
  EXPECT_TRUE(sim::ParseControllerOptions(options_text, &options, &error)) << error;
  return std::make_unique<sim::Controller>(options);
}

// Blanks the clock at the right of the unit's header line (rows 16 to 29, pages 2 and 3), for
// comparing pictures taken at different times.
inline void BlankClock(sim::LcdImage* image) {
  std::memset(image->pages[2] + 240, 0, 80);
  std::memset(image->pages[3] + 240, 0, 80);
}

inline TransferResult SendPacket(HANDLE device, const sim::Packet& packet) {
  std::uint8_t sector[512] = {};
  std::memcpy(sector, packet.data(), packet.size());
  return WriteSectors(device, sim::ExchangeSector, 1, sector);
}
