// The simulated controller served by a real nbdkit through the plugin, reached by the platform's
// NBD backend as a panel on another machine would reach it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/controller.h"
#include "sim/lcd_stream.h"
#include "tests/platform_devices/nbd_server.h"
#include "tests/platform_devices/sector_transfer.h"
#include "tests/sim/sim_test_support.h"

namespace {

// Reads the stream until a frame that began after the call is complete.
sim::LcdImage NextFrame(HANDLE device) {
  sim::LcdStream stream;
  std::vector<std::uint8_t> data(5120);
  for (int read = 0; read < 10 && stream.frames < 2; ++read) {
    EXPECT_TRUE(ReadSectors(device, sim::ExchangeSector, 10, data.data()).done);
    for (int sector = 0; sector < 10; ++sector) sim::FileLcdSector(&stream, &data[sector * 512]);
  }
  return stream.last_frame;
}

TEST(SimOverNbd, PanelTalksToTheUnitThroughNbdkit) {
  NbdServer server(QUELT_SIM_PLUGIN, {"variant=2"});
  ASSERT_TRUE(server.running()) << "nbdkit did not start";
  HANDLE device = OpenLinkDevice(server.list().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);

  std::uint8_t probe[512] = {};
  const TransferResult read = ReadSectors(device, sim::ProbeSector, 1, probe);
  EXPECT_TRUE(read.done);
  EXPECT_EQ(read.bytes, 512u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(probe), 11), "VANTREL0002");

  for (const sim::Packet& packet : sim::StartupPackets())
    EXPECT_TRUE(SendPacket(device, packet).done);
  std::vector<std::uint8_t> status(512);
  ASSERT_TRUE(ReadSectors(device, sim::ExchangeSector, 1, status.data()).done);
  EXPECT_EQ(status[506], sim::ShowPanelKey);

  const sim::LcdImage before = NextFrame(device);
  EXPECT_TRUE(SendPacket(device, sim::TouchKeyPacket(sim::PanelKey::Am)).done);
  EXPECT_TRUE(SendPacket(device, sim::ReleasePacket()).done);
  const sim::LcdImage after = NextFrame(device);
  EXPECT_NE(std::memcmp(before.pages, after.pages, sizeof before.pages), 0)
      << "touching AM left the LCD unchanged";
  CloseHandle(device);
}

TEST(SimOverNbd, FaultsReachTheClient) {
  NbdServer server(QUELT_SIM_PLUGIN,
                   {"fail_opens=1", "fail_reads=1", "fail_writes=1", "short_reads=1@0"});
  ASSERT_TRUE(server.running());
  EXPECT_EQ(OpenLinkDevice(server.list().c_str(), 1), INVALID_HANDLE_VALUE);
  HANDLE device = OpenLinkDevice(server.list().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<std::uint8_t> data(5120);
  // The failed read, then the short one: NBD moves whole requests only, so it fails too.
  for (int i = 0; i < 2; ++i) {
    const TransferResult failed = ReadSectors(device, sim::ExchangeSector, 10, data.data());
    EXPECT_FALSE(failed.done);
    EXPECT_EQ(failed.bytes, 0u);
  }
  EXPECT_TRUE(ReadSectors(device, sim::ExchangeSector, 10, data.data()).done);
  EXPECT_FALSE(SendPacket(device, sim::ReleasePacket()).done);
  EXPECT_TRUE(SendPacket(device, sim::ReleasePacket()).done);
  CloseHandle(device);
}

TEST(SimOverNbd, DeadServerFailsTransfersAndOpens) {
  NbdServer server(QUELT_SIM_PLUGIN, {});
  ASSERT_TRUE(server.running());
  HANDLE device = OpenLinkDevice(server.list().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  server.Stop();
  std::vector<std::uint8_t> data(5120);
  EXPECT_FALSE(ReadSectors(device, sim::ExchangeSector, 10, data.data()).done);
  EXPECT_FALSE(SendPacket(device, sim::ReleasePacket()).done);
  EXPECT_TRUE(CloseHandle(device));
  EXPECT_EQ(OpenLinkDevice(server.list().c_str(), 1), INVALID_HANDLE_VALUE);
}

TEST(SimOverNbd, BadParameterStopsTheServer) {
  NbdServer server(QUELT_SIM_PLUGIN, {"variant=9"});
  EXPECT_FALSE(server.running());
  EXPECT_NE(server.exit_status(), 0);
}

}  // namespace
