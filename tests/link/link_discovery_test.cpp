// Which of DSK1 to DSK5 the link settles on: the order of the probe, the exact signature, and a
// failed read that must not match on what an earlier read left behind. Disks without a controller
// are plain in-memory disks that note every open and close.
#include "link/link_discovery.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/panel_state.h"
#include "link/sector_transfer.h"
#include "sim/in_process.h"
#include "sim/register.h"

namespace {

std::vector<std::string> DiskEvents;

// "disk" or "disk:TEXT": an in-memory disk whose sector 597 begins with TEXT.
struct MemoryDisk {
  int number;
  std::string signature;
};

void* OpenDisk(const char* options, int device_number) {
  DiskEvents.push_back("open DSK" + std::to_string(device_number));
  return new MemoryDisk{device_number, options};
}

std::uint64_t DiskSectors(void*) { return 2048; }

bool ReadDisk(void* device, std::uint64_t first_sector, std::uint32_t sectors, std::uint8_t* data,
              std::uint32_t* bytes_moved) {
  const auto* disk = static_cast<MemoryDisk*>(device);
  std::memset(data, 0, sectors * SectorBytes);
  if (first_sector == ProbeSector) {
    std::memcpy(data, disk->signature.data(), disk->signature.size());
  }
  *bytes_moved = sectors * SectorBytes;
  return true;
}

bool WriteDisk(void*, std::uint64_t, std::uint32_t sectors, const std::uint8_t*,
               std::uint32_t* bytes_moved) {
  *bytes_moved = sectors * SectorBytes;
  return true;
}

void CloseDisk(void* device) {
  auto* disk = static_cast<MemoryDisk*>(device);
  DiskEvents.push_back("close DSK" + std::to_string(disk->number));
  delete disk;
}

using Events = std::vector<std::string>;

class LinkDiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::RegisterBlockDeviceBackend("disk",
                                         {OpenDisk, DiskSectors, ReadDisk, WriteDisk, CloseDisk});
    RegisterSimulatorDevices();
    sim::StopInProcessController();
    ResetPanelState();
    DiskEvents.clear();
  }
  void TearDown() override {
    if (LinkDeviceOpen()) CloseHandle(Panel.LinkHandle);
    sim::StopInProcessController();
    unsetenv("QUELT_LINK_DEVICES");
  }

  void UseDevices(const char* list) { setenv("QUELT_LINK_DEVICES", list, 1); }
  sim::Controller& Simulator() {
    if (!sim::InProcessController()) sim::StartInProcessController();
    return *sim::InProcessController();
  }
};

TEST_F(LinkDiscoveryTest, ProbeTriesNamesInOrderAndKeepsTheFirstWithASignature) {
  UseDevices("disk,disk,sim,disk:VANTREL0001,disk:VANTREL0001");
  ProbeLinkDevice();
  EXPECT_EQ(DiskEvents, (Events{"open DSK1", "close DSK1", "open DSK2", "close DSK2"}));
  EXPECT_EQ(Simulator().DeviceNumber(), 3);
  EXPECT_EQ(Panel.LinkConnected, 1);
  EXPECT_TRUE(LinkDeviceOpen());
}

TEST_F(LinkDiscoveryTest, LowerNumberedOfTwoControllersWins) {
  UseDevices(",disk:VANTREL0002,sim");
  ProbeLinkDevice();
  EXPECT_EQ(DiskEvents, Events{"open DSK2"});
  EXPECT_EQ(Simulator().DeviceNumber(), 0) << "the simulator behind DSK3 was opened";
  EXPECT_EQ(Panel.LinkConnected, 1);
  EXPECT_EQ(Panel.LinkVariant.load(), 1);
}

TEST_F(LinkDiscoveryTest, NothingFoundTriesEveryNameOnceAndKeepsTheVariant) {
  UseDevices("disk,disk:VANTREL0003,disk,disk:vantrel0001,disk");
  Panel.LinkVariant = 1;
  ProbeLinkDevice();
  EXPECT_EQ(DiskEvents,
            (Events{"open DSK1", "close DSK1", "open DSK2", "close DSK2", "open DSK3", "close DSK3",
                    "open DSK4", "close DSK4", "open DSK5", "close DSK5"}));
  EXPECT_EQ(Panel.LinkConnected, 0);
  EXPECT_EQ(Panel.LinkHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Panel.LinkVariant.load(), 1);
}

struct SignatureCase {
  std::string sector_start;
  bool matches;
  std::uint8_t variant;
};

void PrintTo(const SignatureCase& signature, std::ostream* out) {
  for (char c : signature.sector_start) {
    if (c > ' ' && c < 0x7F) {
      *out << c;
    } else {
      *out << "\\x" << std::hex << int{static_cast<unsigned char>(c)} << std::dec;
    }
  }
}

class SignatureTest : public LinkDiscoveryTest,
                      public ::testing::WithParamInterface<SignatureCase> {};

TEST_P(SignatureTest, OnlyTheExactSignatureMatches) {
  const SignatureCase& signature = GetParam();
  UseDevices("sim");
  Simulator().SetSignature(signature.sector_start);
  ProbeLinkDevice();
  EXPECT_EQ(Panel.LinkConnected, signature.matches ? 1 : 0);
  EXPECT_EQ(LinkDeviceOpen(), signature.matches);
  EXPECT_EQ(Panel.LinkVariant.load(), signature.variant);
}

INSTANTIATE_TEST_SUITE_P(Sector597, SignatureTest,
                         ::testing::Values(SignatureCase{"VANTREL0001", true, 0},
                                           SignatureCase{"VANTREL0002", true, 1},
                                           SignatureCase{"VANTREL0002 and more", true, 1},
                                           SignatureCase{"VANTREL0001\xff", true, 0},
                                           SignatureCase{"vantrel0002", false, 0},
                                           SignatureCase{"VANTREL0003", false, 0},
                                           SignatureCase{"VANTREL000", false, 0},
                                           SignatureCase{std::string("VANTREL\0"
                                                                     "002",
                                                                     11),
                                                         false, 0},
                                           SignatureCase{" VANTREL0002", false, 0}));

TEST_F(LinkDiscoveryTest, FailedReadNeverMatchesOnWhatAnEarlierReadLeft) {
  UseDevices("sim");
  ProbeLinkDevice();
  ASSERT_EQ(Panel.LinkConnected, 1);
  // The device opens again but its read fails: the signature of the last probe is still in
  // memory from before.
  Simulator().FailNextReads(1);
  ProbeLinkDevice();
  EXPECT_EQ(Panel.LinkConnected, 0);
  EXPECT_EQ(Panel.LinkHandle, INVALID_HANDLE_VALUE);
}

TEST_F(LinkDiscoveryTest, EveryTransferWritesTheWholeRequest) {
  UseDevices("sim");
  ProbeLinkDevice();
  ASSERT_EQ(Panel.LinkConnected, 1);
  // Garbage left in the record by anyone must not reach the device.
  std::memset(&Panel.SectorRequest, 0xA5, sizeof Panel.SectorRequest);
  ASSERT_TRUE(ReadStreamSectors());
  const SG_REQ& request = Panel.SectorRequest;
  EXPECT_EQ(request.sr_start, 629u);
  EXPECT_EQ(request.sr_num_sec, 10u);
  EXPECT_EQ(request.sr_num_sg, 1u);
  EXPECT_EQ(request.sr_status, 0u);
  EXPECT_EQ(request.sr_callback, nullptr);
  EXPECT_EQ(request.sr_sglist[0].sb_buf, Panel.StreamBuffer);
  EXPECT_EQ(request.sr_sglist[0].sb_len, 5120u);
  EXPECT_EQ(Panel.BytesReturned, 5120u);
}

}  // namespace
