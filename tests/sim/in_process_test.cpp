// The simulated controller reached as the panel reaches it: CreateFileW("DSKn:") with "sim" in
// QUELT_LINK_DEVICES, DeviceIoControl and CloseHandle; faults chosen in the target string.
#include "sim/in_process.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "sim/register.h"
#include "tests/platform_devices/sector_transfer.h"
#include "tests/sim/sim_test_support.h"

namespace {

class InProcessSim : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSimulatorDevices();
    sim::StopInProcessController();
  }
  void TearDown() override { sim::StopInProcessController(); }
};

std::string SignatureAt(HANDLE device) {
  std::uint8_t sector[512] = {};
  ReadSectors(device, sim::ProbeSector, 1, sector);
  return std::string(reinterpret_cast<char*>(sector), 11);
}

TEST_F(InProcessSim, UnsetListMeansTheSimulatorAsDsk1) {
  unsetenv("QUELT_LINK_DEVICES");
  HANDLE device =
      CreateFileW(u"DSK1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SignatureAt(device), "VANTREL0001");
  EXPECT_TRUE(CloseHandle(device));
}

TEST_F(InProcessSim, PacketsReachTheUnitAndTheStreamComesBack) {
  HANDLE device = OpenLinkDevice(",sim:variant=2", 2);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SignatureAt(device), "VANTREL0002");
  for (const sim::Packet& packet : sim::StartupPackets()) {
    EXPECT_TRUE(SendPacket(device, packet).done);
  }
  std::vector<std::uint8_t> stream(5120);
  const TransferResult read = ReadSectors(device, sim::ExchangeSector, 10, stream.data());
  EXPECT_TRUE(read.done);
  EXPECT_EQ(read.bytes, 5120u);
  EXPECT_EQ(stream[506], sim::ShowPanelKey);
  const TransferResult touch = SendPacket(device, sim::TouchKeyPacket(sim::PanelKey::Am));
  EXPECT_TRUE(touch.done);
  EXPECT_EQ(touch.bytes, 512u);
  EXPECT_EQ(sim::InProcessController()->Unit().source, sim::Source::Am);
  EXPECT_EQ(sim::InProcessController()->Packets().size(), 5u);
  CloseHandle(device);
}

TEST_F(InProcessSim, OptionsRunOverTheFollowingEntries) {
  const std::string trace = ::testing::TempDir() + "in-process-trace.txt";
  HANDLE device = OpenLinkDevice(("sim:variant=2,trace=" + trace + ",/nonexistent").c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SignatureAt(device), "VANTREL0002");
  SendPacket(device, sim::EjectPacket());
  std::ifstream file(trace);
  std::string line;
  ASSERT_TRUE(std::getline(file, line));
  EXPECT_NE(line.find("eject"), std::string::npos) << line;
  CloseHandle(device);
}

struct TransferFaultCase {
  const char* target;
  DWORD sectors;
  bool write;
  BOOL done;
  DWORD bytes;
};

TEST_F(InProcessSim, FaultsChosenInTheTarget) {
  const TransferFaultCase cases[] = {
      {"sim:fail_reads=1", 10, false, FALSE, 0},
      {"sim:short_reads=1", 10, false, TRUE, 5118},
      {"sim:short_reads=1", 1, false, TRUE, 510},
      {"sim:fail_writes=1", 1, true, FALSE, 0},
      {"sim:short_reads=1,short_by=1", 10, false, TRUE, 5119},
  };
  for (const TransferFaultCase& c : cases) {
    sim::StopInProcessController();
    HANDLE device = OpenLinkDevice(c.target, 1);
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << c.target;
    std::vector<std::uint8_t> buffer(c.sectors * 512);
    const TransferResult result = c.write ? WriteSectors(device, 629, c.sectors, buffer.data())
                                          : ReadSectors(device, 629, c.sectors, buffer.data());
    EXPECT_EQ(result.done, c.done) << c.target;
    EXPECT_EQ(result.bytes, c.bytes) << c.target;
    const TransferResult next = c.write ? WriteSectors(device, 629, c.sectors, buffer.data())
                                        : ReadSectors(device, 629, c.sectors, buffer.data());
    EXPECT_TRUE(next.done) << c.target << ": the fault outlasted its count";
    CloseHandle(device);
  }
}

TEST_F(InProcessSim, FailedOpenAndWrongSignature) {
  EXPECT_EQ(OpenLinkDevice("sim:fail_opens=1", 1), INVALID_HANDLE_VALUE);
  HANDLE device = OpenLinkDevice("sim:fail_opens=1", 1);
  EXPECT_NE(device, INVALID_HANDLE_VALUE);
  CloseHandle(device);

  sim::StopInProcessController();
  device = OpenLinkDevice("sim:signature=vantrel0002", 1);
  EXPECT_EQ(SignatureAt(device), "vantrel0002");
  CloseHandle(device);
}

TEST_F(InProcessSim, VanishesAndComesBackUnderAnotherName) {
  HANDLE device = OpenLinkDevice("sim,,sim", 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenLinkDevice("sim,,sim", 3), INVALID_HANDLE_VALUE) << "one name at a time";

  sim::InProcessController()->VanishFor(3600000, 3);
  std::uint8_t sector[512];
  EXPECT_FALSE(ReadSectors(device, sim::ProbeSector, 1, sector).done);
  CloseHandle(device);
  for (int number = 1; number <= 5; ++number) {
    EXPECT_EQ(OpenLinkDevice("sim,,sim", number), INVALID_HANDLE_VALUE) << "DSK" << number;
  }

  sim::InProcessController()->VanishFor(0, 3);
  EXPECT_EQ(OpenLinkDevice("sim,,sim", 1), INVALID_HANDLE_VALUE);
  device = OpenLinkDevice("sim,,sim", 3);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SignatureAt(device), "VANTREL0001");
  CloseHandle(device);
}

TEST_F(InProcessSim, BadOptionsFailTheOpen) {
  EXPECT_EQ(OpenLinkDevice("sim:variant=7", 1), INVALID_HANDLE_VALUE);
  EXPECT_EQ(sim::InProcessController(), nullptr);
}

TEST_F(InProcessSim, WithoutRegistrationSimIsNoDevice) {
  // A fresh scheme name stands for a backend nobody registered.
  EXPECT_EQ(OpenLinkDevice("simx:variant=2", 1), INVALID_HANDLE_VALUE);
}

}  // namespace
