// The simulated controller as a panel meets it: signature, LCD stream, key codes, packets and
// every fault it can inject.
#include "sim/controller.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <vector>

#include "platform/testing.h"
#include "sim/lcd_stream.h"
#include "tests/sim/sim_test_support.h"

namespace {

using Sectors = std::vector<std::uint8_t>;

struct Link {
  explicit Link(const std::string& options = "") : controller(MakeController(options)) {
    session = controller->Open(1);
  }
  Sectors Read(std::uint32_t first, std::uint32_t count, bool* done = nullptr,
               std::uint32_t* moved = nullptr) {
    Sectors data(count * 512, 0xEE);
    std::uint32_t bytes = 0;
    const bool ok = controller->Read(session, first, count, data.data(), &bytes);
    if (done) *done = ok;
    if (moved) *moved = bytes;
    return data;
  }
  bool Send(const sim::Packet& packet) {
    std::uint8_t sector[512] = {};
    std::memcpy(sector, packet.data(), packet.size());
    std::uint32_t moved = 0;
    return controller->Write(session, sim::ExchangeSector, 1, sector, &moved);
  }
  std::unique_ptr<sim::Controller> controller;
  std::uint64_t session;
};

std::string Signature(const Sectors& sector) {
  return std::string(reinterpret_cast<const char*>(sector.data()), 11);
}

TEST(SimulatedController, ProbeSectorCarriesTheChosenSignature) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "VANTREL0001"},
      {"variant=2", "VANTREL0002"},
      {"signature=vantrel0001", "vantrel0001"},
      {"signature=VANTREL", std::string("VANTREL\0\0\0\0", 11)},
  };
  for (const auto& [options, expected] : cases) {
    Link link(options);
    EXPECT_EQ(Signature(link.Read(sim::ProbeSector, 1)), expected) << options;
  }
  Link link;
  link.controller->SetSignature("VANTREL0002");
  EXPECT_EQ(Signature(link.Read(sim::ProbeSector, 1)), "VANTREL0002");
}

TEST(SimulatedController, StreamCarriesWholeFramesStartingAtShiftingOffsets) {
  Link link;
  sim::LcdStream stream;
  std::set<int> frame_end_positions;
  for (int read = 0; read < 40; ++read) {
    const Sectors data = link.Read(sim::ExchangeSector, 10);
    for (int sector = 0; sector < 10; ++sector) {
      const std::uint8_t* bytes = &data[sector * 512];
      for (int chunk = 0; chunk < 3; ++chunk) {
        const std::uint8_t id = bytes[508 + chunk];
        const bool display_page = (id & 0x7F) <= 0x0E && (id & 0x70) == 0;
        EXPECT_TRUE(display_page || id == 0x0F) << "row id " << int(id);
        if (id == sim::FrameEndRowId) frame_end_positions.insert(sector * 3 + chunk);
      }
      sim::FileLcdSector(&stream, bytes);
    }
  }
  // 40 reads of 30 chunks carry 38 frames of 31 chunks, each ending one chunk later in its read.
  EXPECT_GE(stream.frames, 38);
  EXPECT_GE(frame_end_positions.size(), 29u);

  // What arrived is what the unit draws (the clock may have turned meanwhile: leave it out).
  sim::LcdImage expected = link.controller->Screen();
  for (sim::LcdImage* image : {&expected, &stream.last_frame}) {
    BlankClock(image);
  }
  EXPECT_EQ(std::memcmp(expected.pages, stream.last_frame.pages, sizeof expected.pages), 0);
}

TEST(SimulatedController, KeyCodeGoesOutOnceInTheNextRead) {
  Link link;
  link.controller->QueueKey(0x82);
  link.controller->QueueKey(0x83);
  const Sectors first = link.Read(sim::ExchangeSector, 10);
  EXPECT_EQ(first[506], 0x82);
  for (int sector = 1; sector < 10; ++sector) EXPECT_EQ(first[sector * 512 + 506], 0);
  EXPECT_EQ(link.Read(sim::ExchangeSector, 1)[506], 0x83);
  EXPECT_EQ(link.Read(sim::ExchangeSector, 10)[506], 0);
}

TEST(SimulatedController, StatusReadCarriesStatusAndKey) {
  Link link;
  link.controller->QueueKey(0x3A);
  const Sectors status = link.Read(sim::ExchangeSector, 1);
  EXPECT_EQ(status[504], sim::UnitStatusByte(link.controller->Unit()));
  EXPECT_EQ(status[504] & 0x01, 0x01) << "powered";
  EXPECT_EQ(status[506], 0x3A);
}

TEST(SimulatedController, ShowKeyFollowsTheStartupPackets) {
  Link link;
  const auto startup = sim::StartupPackets();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(link.Send(startup[i]));
    EXPECT_EQ(link.Read(sim::ExchangeSector, 1)[506], 0) << "after start-up packet " << i + 1;
  }
  ASSERT_TRUE(link.Send(startup[3]));
  EXPECT_EQ(link.Read(sim::ExchangeSector, 10)[506], sim::ShowPanelKey);
  // A heartbeat later is no start-up: no second show key.
  ASSERT_TRUE(link.Send(sim::GroupPacket(0, 0x03, 0xB9)));
  EXPECT_EQ(link.Read(sim::ExchangeSector, 10)[506], 0);
}

TEST(SimulatedController, ScriptedKeysWaitForTheirTime) {
  Link link("keys=0x82@0;0x83@3600000");
  EXPECT_EQ(link.Read(sim::ExchangeSector, 10)[506], 0x82);
  EXPECT_EQ(link.Read(sim::ExchangeSector, 10)[506], 0);
}

TEST(SimulatedController, RecordsAndTracesEveryPacket) {
  const std::string trace = ::testing::TempDir() + "sim-trace.txt";
  {
    Link link("trace=" + trace);
    const DWORD before = GetTickCount();
    ASSERT_TRUE(link.Send(sim::TouchKeyPacket(sim::PanelKey::Fm)));
    ASSERT_TRUE(link.Send(sim::ReleasePacket()));
    const auto packets = link.controller->Packets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].bytes, sim::TouchKeyPacket(sim::PanelKey::Fm));
    EXPECT_GE(packets[0].tick, before);
    EXPECT_LE(packets[1].tick, GetTickCount());
  }
  std::ifstream file(trace);
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(file, line)) lines.push_back(line);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("A5 E3 30 00 00 00 10 08 00 00 00 00 00 00 00  touch FM"),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[1].find("release"), std::string::npos) << lines[1];
}

struct ReadFaultCase {
  const char* options;
  std::uint32_t sectors;
  bool done;
  std::uint32_t moved;
};

TEST(SimulatedController, ReadFaults) {
  const ReadFaultCase cases[] = {
      {"fail_reads=1", 10, false, 0},
      {"fail_reads=1", 1, false, 0},
      {"short_reads=1", 10, true, 5118},
      {"short_reads=1", 1, true, 510},
      {"short_reads=1,short_by=1", 10, true, 5119},
      {"short_reads=1,short_by=1", 1, true, 511},
      {"fail_reads=1@3600000", 10, true, 5120},
  };
  for (const ReadFaultCase& c : cases) {
    Link link(c.options);
    link.controller->QueueKey(0x52);
    bool done = false;
    std::uint32_t moved = 0;
    link.Read(sim::ExchangeSector, c.sectors, &done, &moved);
    EXPECT_EQ(done, c.done) << c.options;
    EXPECT_EQ(moved, c.moved) << c.options;
    // The key waits for a read that arrives whole; the fault lasts for one read only.
    const Sectors next = link.Read(sim::ExchangeSector, c.sectors, &done, &moved);
    EXPECT_TRUE(done);
    EXPECT_EQ(moved, c.sectors * 512);
    if (c.moved != c.sectors * 512) {
      EXPECT_EQ(next[506], 0x52) << c.options;
    }
  }
}

TEST(SimulatedController, FaultsFromTheTestFace) {
  Link link;
  link.controller->FailNextReads(2);
  bool done = true;
  link.Read(sim::ExchangeSector, 10, &done);
  EXPECT_FALSE(done);
  link.Read(sim::ExchangeSector, 10, &done);
  EXPECT_FALSE(done);
  link.Read(sim::ExchangeSector, 10, &done);
  EXPECT_TRUE(done);

  std::uint32_t moved = 0;
  link.controller->ShortNextReads(1);
  link.Read(sim::ExchangeSector, 10, &done, &moved);
  EXPECT_EQ(moved, 5118u);

  link.controller->FailNextWrites(1);
  EXPECT_FALSE(link.Send(sim::TouchKeyPacket(sim::PanelKey::Am)));
  EXPECT_TRUE(link.Send(sim::TouchKeyPacket(sim::PanelKey::Cd)));
  const auto packets = link.controller->Packets();
  ASSERT_EQ(packets.size(), 1u) << "a failed write loses its packet";
  EXPECT_EQ(packets[0].bytes, sim::TouchKeyPacket(sim::PanelKey::Cd));
  EXPECT_EQ(link.controller->TakePackets().size(), 1u);
  EXPECT_TRUE(link.controller->Packets().empty()) << "taken packets leave the record";

  link.controller->FailNextOpens(1);
  EXPECT_EQ(link.controller->Open(1), 0u);
  EXPECT_NE(link.controller->Open(1), 0u);
}

// The read waits on the platform's clock, here the virtual one, without holding the controller.
TEST(SimulatedController, StalledReadTakesItsTimeWhileTheControllerStaysUsable) {
  platform::VirtualRunScope run(platform::LocalTime(2026, 1, 1, 8, 0, 0));
  Link link("stall=300");
  bool done = false;
  std::int64_t served_at = -1;
  Sectors sectors;
  ASSERT_TRUE(platform::StartMainThread([&] {
    sectors = link.Read(sim::ExchangeSector, 10, &done);
    served_at = platform::VirtualNowMs();
    return 0;
  }));
  platform::AdvanceVirtualTime(100);
  EXPECT_EQ(served_at, -1);
  link.controller->QueueKey(0x53);
  platform::AdvanceVirtualTime(300);
  EXPECT_EQ(served_at, 300);
  EXPECT_TRUE(done);
  EXPECT_EQ(sectors[506], 0x53) << "served as the controller is when the stall ends";
}

TEST(SimulatedController, FailedOpensFromOptions) {
  Link link("fail_opens=2");
  EXPECT_EQ(link.session, 0u);
  EXPECT_EQ(link.controller->Open(1), 0u);
  EXPECT_NE(link.controller->Open(1), 0u);
}

TEST(SimulatedController, VanishesAndComesBackUnderAnotherName) {
  Link link;
  ASSERT_EQ(link.controller->DeviceNumber(), 1);
  EXPECT_EQ(link.controller->Open(2), 0u) << "answers under one name only";

  link.controller->VanishFor(3600000, 3);
  bool done = true;
  link.Read(sim::ProbeSector, 1, &done);
  EXPECT_FALSE(done);
  EXPECT_EQ(link.controller->Open(1), 0u);
  EXPECT_EQ(link.controller->Open(3), 0u);

  link.controller->VanishFor(0, 3);
  EXPECT_EQ(link.controller->Open(1), 0u);
  const std::uint64_t session = link.controller->Open(3);
  EXPECT_NE(session, 0u);
  EXPECT_EQ(link.controller->DeviceNumber(), 3);
  link.Read(sim::ProbeSector, 1, &done);
  EXPECT_FALSE(done) << "a session from before the disappearance stays dead";
  link.session = session;
  EXPECT_EQ(Signature(link.Read(sim::ProbeSector, 1, &done)), "VANTREL0001");
  EXPECT_TRUE(done);
}

TEST(SimulatedController, VanishFromOptions) {
  Link link("vanish=3600000@0>2");
  EXPECT_EQ(link.session, 0u);
  Link back("vanish=0@0>DSK4");
  EXPECT_EQ(back.session, 0u) << "back, but as DSK4";
  EXPECT_NE(back.controller->Open(4), 0u);
}

TEST(SimulatedController, InfoFromOptions) {
  EXPECT_FALSE(Link().controller->Unit().info_shown);
  EXPECT_TRUE(Link("info=1").controller->Unit().info_shown);
  EXPECT_FALSE(Link("info=0").controller->Unit().info_shown);
}

TEST(SimulatedController, BadOptionsAreRefused) {
  for (const char* text : {"variant=3", "bogus=1", "keys=0x100@5", "keys=x", "vanish=10@5>9",
                           "fail_reads=-1", "short_by=0", "variant", "info=2", "info="}) {
    sim::ControllerOptions options;
    std::string error;
    EXPECT_FALSE(sim::ParseControllerOptions(text, &options, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
