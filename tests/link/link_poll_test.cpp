// The link thread against the simulated controller in virtual time: the start-up sequence, the
// poll cadence, the command queue on the wire, key codes, refreshes and recovery from failures.
#include <gtest/gtest.h>

#include "app/panel_state.h"
#include "link/command_queue.h"
#include "link/link_thread.h"
#include "sim/lcd_image.h"
#include "tests/link/link_fixture.h"

namespace {

// With the controller at DSK1: found at once, the start-up packets at 200, 300, 400 and 700 ms,
// the first poll tick at 800 ms and then one every 50 ms while streaming.
constexpr std::int64_t FirstTickMs = 800;
// The controller answers a finished start-up with this key in the first read.
constexpr std::uint8_t ShowPanelKey = 0x53;
constexpr std::uint8_t SomeKey = 0x35;

using PollTest = LinkScenarioTest;

// The packets the simulator received after the four start-up packets.
std::vector<sim::ReceivedPacket> AfterStartup(std::vector<sim::ReceivedPacket> packets) {
  packets.erase(packets.begin(), packets.begin() + std::min<std::size_t>(4, packets.size()));
  return packets;
}

std::vector<std::int64_t> Between(const std::vector<std::int64_t>& times, std::int64_t from,
                                  std::int64_t to) {
  std::vector<std::int64_t> inside;
  for (std::int64_t time : times) {
    if (time >= from && time <= to) inside.push_back(time);
  }
  return inside;
}

int TimesHandled(const std::vector<HandledKey>& keys, std::uint8_t code) {
  int count = 0;
  for (const HandledKey& key : keys) count += key.code == code;
  return count;
}

TEST_F(PollTest, StartupPacketsGoOutWithTheirPausesBeforeTheFirstTick) {
  StartLinkThread();
  RunUntil(FirstTickMs + 10);
  const std::vector<sim::ReceivedPacket> packets = Packets();
  ASSERT_EQ(packets.size(), 4u) << Trace();
  const CommandPacket expected[] = {StartupPacket1, StartupPacket2, StartupPacket3, StartupPacket4};
  const std::uint32_t times[] = {200, 300, 400, 700};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(packets[i].bytes, OnTheWire(expected[i])) << "packet " << i;
    EXPECT_EQ(packets[i].tick, times[i]) << "packet " << i;
  }
  EXPECT_EQ(TickTimes(), std::vector<std::int64_t>{FirstTickMs});
}

TEST_F(PollTest, ThreadEndsAtOnceWhenItsWindowClassCannotBeRegistered) {
  ASSERT_TRUE(platform::StartMainThread([] {
    WNDCLASSW taken = {};
    taken.lpfnWndProc = DefWindowProcW;
    taken.lpszClassName = W("DiskRead");
    RegisterClassW(&taken);
    return static_cast<int>(LinkThreadMain(nullptr));
  }));
  int result = -1;
  ASSERT_TRUE(platform::RunUntilMainReturns(10'000, &result));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(platform::VirtualNowMs(), 0) << "the thread waited for the device";
  EXPECT_EQ(Simulator().DeviceNumber(), 0) << "the device was probed";
}

struct PendingCase {
  int pending;  // packets queued before the device is found
  std::vector<CommandPacket> wire;
  std::vector<std::uint32_t> times;
};

void PrintTo(const PendingCase& pending, std::ostream* out) {
  *out << pending.pending << " pending";
}

class PendingAtStartupTest : public LinkScenarioTest,
                             public ::testing::WithParamInterface<PendingCase> {};

TEST_P(PendingAtStartupTest, StartupPacketsQueueBehindPendingOnes) {
  const PendingCase& pending = GetParam();
  StartLinkThread([&] {
    for (int i = 1; i <= pending.pending; ++i) QueueCommand(NumberedPacket(i));
  });
  RunUntil(FirstTickMs + 200);
  const std::vector<sim::ReceivedPacket> packets = Packets();
  ASSERT_EQ(packets.size(), pending.wire.size()) << Trace();
  for (std::size_t i = 0; i < packets.size(); ++i) {
    EXPECT_EQ(packets[i].bytes, OnTheWire(pending.wire[i])) << "packet " << i;
    EXPECT_EQ(packets[i].tick, pending.times[i]) << "packet " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pending, PendingAtStartupTest,
    ::testing::Values(
        PendingCase{0,
                    {StartupPacket1, StartupPacket2, StartupPacket3, StartupPacket4},
                    {200, 300, 400, 700}},
        PendingCase{
            1,
            {NumberedPacket(1), StartupPacket1, StartupPacket2, StartupPacket3, StartupPacket4},
            {200, 300, 400, 700, 800}},
        // With two pending the first start-up packet finds the queue full and is dropped.
        PendingCase{
            2,
            {NumberedPacket(1), NumberedPacket(2), StartupPacket2, StartupPacket3, StartupPacket4},
            {200, 300, 400, 700, 800}}));

TEST_F(PollTest, ThreePacketsQueuedBetweenTwoTicksGiveTwoWrites) {
  StartLinkThread();
  RunUntil(1010);
  QueueCommand(NumberedPacket(1));
  QueueCommand(NumberedPacket(2));
  QueueCommand(NumberedPacket(3));
  RunUntil(1500);
  const std::vector<sim::ReceivedPacket> packets = AfterStartup(Packets());
  ASSERT_EQ(packets.size(), 2u) << Trace();
  EXPECT_EQ(packets[0].bytes, OnTheWire(NumberedPacket(1)));
  EXPECT_EQ(packets[0].tick, 1050u);
  EXPECT_EQ(packets[1].bytes, OnTheWire(NumberedPacket(2)));
  EXPECT_EQ(packets[1].tick, 1100u);
  // The dropped packet does not come back with the next one queued.
  QueueCommand(NumberedPacket(4));
  RunUntil(1600);
  ASSERT_EQ(AfterStartup(Packets()).size(), 3u);
  EXPECT_EQ(AfterStartup(Packets())[2].bytes, OnTheWire(NumberedPacket(4)));
}

struct OutageCase {
  std::uint32_t failed_probes_before;  // a high count makes each reconnect give up after one probe
  std::uint32_t written_at;
};

void PrintTo(const OutageCase& outage, std::ostream* out) {
  *out << outage.failed_probes_before << " failed probes before";
}

class LinkDownTest : public LinkScenarioTest, public ::testing::WithParamInterface<OutageCase> {};

TEST_P(LinkDownTest, PacketQueuedWhileLinkIsDownGoesOutOnTheTickThatRestoresIt) {
  StartLinkThread();
  RunUntil(1010);
  Panel.FailedProbeCount = GetParam().failed_probes_before;
  Simulator().VanishFor(1000, 0);
  RunUntil(1100);
  QueueCommand(NumberedPacket(1));
  RunUntil(3000);
  const std::vector<sim::ReceivedPacket> packets = AfterStartup(Packets());
  ASSERT_EQ(packets.size(), 1u) << Trace();
  EXPECT_EQ(packets[0].bytes, OnTheWire(NumberedPacket(1)));
  EXPECT_EQ(packets[0].tick, GetParam().written_at) << Trace();
  // Written in the tick whose reconnect found the controller back at 2010: no tick in between.
  EXPECT_EQ(Between(TickTimes(), 2010, packets[0].tick), std::vector<std::int64_t>{});
}

INSTANTIATE_TEST_SUITE_P(Outages, LinkDownTest,
                         // Probes from 1250 every 200 ms; the one at 2050 finds it back.
                         ::testing::Values(OutageCase{0, 2250},
                                           // One probe per tick: ticks at 1050, 1500 and 1950.
                                           OutageCase{30, 2350}));

TEST_F(PollTest, FailedWriteLosesItsPacketAndNextTickReconnectsInsteadOfReading) {
  StartLinkThread();
  RunUntil(1010);
  QueueCommand(NumberedPacket(1));
  QueueCommand(NumberedPacket(2));
  Simulator().FailNextWrites(1);
  RunUntil(1060);
  Simulator().QueueKey(SomeKey);
  RunUntil(2000);
  const std::vector<sim::ReceivedPacket> packets = AfterStartup(Packets());
  ASSERT_EQ(packets.size(), 1u) << Trace();
  EXPECT_EQ(packets[0].bytes, OnTheWire(NumberedPacket(2)));
  // The tick at 1100 reconnects (200 ms pause, probe, 200 ms pause), then writes the next packet.
  EXPECT_EQ(packets[0].tick, 1500u);
  EXPECT_EQ(Between(TickTimes(), 1050, 1600), (std::vector<std::int64_t>{1050, 1100, 1550, 1600}));
  // That tick read nothing: the key waiting since 1060 comes with the read of the tick after.
  const std::vector<HandledKey> keys = HandledKeys();
  ASSERT_EQ(TimesHandled(keys, SomeKey), 1) << Trace();
  EXPECT_EQ(keys.back().ms, 1550);
}

TEST_F(PollTest, CadenceFollowsStreamModeFromTheNextTick) {
  StartLinkThread();
  RunUntil(1010);
  Panel.StreamMode = 0;
  RunUntil(1460);
  Panel.StreamMode = 1;
  RunUntil(1760);
  EXPECT_EQ(Between(TickTimes(), 1000, 1760),
            (std::vector<std::int64_t>{1000, 1050, 1250, 1450, 1650, 1700, 1750}));
}

struct PollReadCase {
  int stream_mode;
  DWORD sectors;
};

void PrintTo(const PollReadCase& read, std::ostream* out) {
  *out << "StreamMode " << read.stream_mode;
}

class PollReadTest : public LinkScenarioTest, public ::testing::WithParamInterface<PollReadCase> {};

TEST_P(PollReadTest, EachTickReadsTheSectorsOfItsMode) {
  StartLinkThread();
  RunUntil(1010);
  Panel.StreamMode = GetParam().stream_mode;
  RunUntil(1260);
  const SG_REQ& request = Panel.SectorRequest;
  EXPECT_EQ(request.sr_start, 629u);
  EXPECT_EQ(request.sr_num_sec, GetParam().sectors);
  EXPECT_EQ(request.sr_num_sg, 1u);
  EXPECT_EQ(request.sr_callback, nullptr);
  EXPECT_EQ(request.sr_sglist[0].sb_buf, Panel.StreamBuffer);
  EXPECT_EQ(request.sr_sglist[0].sb_len, 512 * GetParam().sectors);
}

INSTANTIATE_TEST_SUITE_P(Modes, PollReadTest,
                         ::testing::Values(PollReadCase{1, 10}, PollReadCase{0, 1}));

TEST_F(PollTest, FirstRefreshComesAtTheEleventhQuietTick) {
  StartLinkThread();
  RunUntil(10);
  // Only the status sector is polled: the LCD never changes, so nothing restarts the count.
  Panel.StreamMode = 0;
  RunUntil(3250);
  EXPECT_EQ(RefreshTimes(), (std::vector<std::int64_t>{2800, 3000, 3200})) << Trace();
  // A panel action restarts the count: ten more quiet ticks, then refreshes again.
  Panel.PollsSinceChange = 0;
  RunUntil(5650);
  EXPECT_EQ(Between(RefreshTimes(), 3250, 5650), (std::vector<std::int64_t>{5400, 5600}));
}

TEST_F(PollTest, FirstStreamedFrameReachesTheMatrix) {
  StartLinkThread();
  RunUntil(FirstTickMs);
  // The first read carries a whole frame, drawn by the controller at this instant.
  ASSERT_EQ(RefreshTimes(), std::vector<std::int64_t>{FirstTickMs});
  const sim::LcdImage screen = Simulator().Screen();
  int lit = 0;
  for (int row = 0; row < LcdMatrixRows; ++row) {
    for (int column = 0; column < LcdMatrixColumns; ++column) {
      const bool shown = row < 120 && column >= 2 && column <= 312;
      const bool pixel = shown && sim::LcdPixel(screen, column, row);
      ASSERT_EQ(Panel.LcdPixelMatrix[row][column], pixel ? 255 : 0)
          << "row " << row << " column " << column;
      lit += pixel;
    }
  }
  EXPECT_GT(lit, 0);
}

struct ShortReadCase {
  int stream_mode;
  std::uint32_t missing_bytes;
  bool good;
};

void PrintTo(const ShortReadCase& read, std::ostream* out) {
  *out << "StreamMode " << read.stream_mode << ", " << read.missing_bytes << " bytes short";
}

class ShortReadTest : public LinkScenarioTest,
                      public ::testing::WithParamInterface<ShortReadCase> {};

TEST_P(ShortReadTest, ReadOneByteShortIsGoodTwoBytesShortIsDiscarded) {
  const ShortReadCase& read = GetParam();
  const std::int64_t interval = read.stream_mode == 1 ? 50 : 200;
  StartLinkThread();
  RunUntil(10);
  Panel.StreamMode = read.stream_mode;
  RunUntil(1010);
  const std::int64_t tick = FirstAtOrAfter(TickTimes(), 1000) + interval;
  Simulator().QueueKey(SomeKey);
  Simulator().ShortNextReads(1, read.missing_bytes);
  RunUntil(3000);
  // The simulator places the key in a short read too and sends it again in the next full read,
  // as a controller that leaves a key in place does: a good read hands it on each time, a short
  // one never.
  std::vector<std::int64_t> handled;
  for (const HandledKey& key : HandledKeys()) {
    if (key.code == SomeKey) handled.push_back(key.ms);
  }
  const std::vector<std::int64_t> expected = read.good
                                                 ? std::vector<std::int64_t>{tick, tick + interval}
                                                 : std::vector<std::int64_t>{tick + 400 + interval};
  EXPECT_EQ(handled, expected) << Trace();
  // A short read reconnects: 400 ms of pauses before the timer is armed again.
  EXPECT_EQ(FirstAtOrAfter(TickTimes(), tick + 1), tick + (read.good ? 0 : 400) + interval);
}

INSTANTIATE_TEST_SUITE_P(Thresholds, ShortReadTest,
                         ::testing::Values(ShortReadCase{1, 1, true},     // 5119 of 5120
                                           ShortReadCase{1, 2, false},    // 5118
                                           ShortReadCase{0, 1, true},     // 511 of 512
                                           ShortReadCase{0, 2, false}));  // 510

class KeyModeTest : public LinkScenarioTest, public ::testing::WithParamInterface<int> {};

TEST_P(KeyModeTest, EachKeyOfTheControllerIsHandedOnOnce) {
  StartLinkThread();
  RunUntil(10);
  Panel.StreamMode = GetParam();
  RunUntil(1010);
  Simulator().QueueKey(SomeKey);
  Simulator().QueueKey(0x37);
  RunUntil(1500);
  // A failed read after them must not hand on what the buffer still holds.
  Simulator().FailNextReads(1);
  RunUntil(3000);
  const std::vector<HandledKey> keys = HandledKeys();
  ASSERT_EQ(keys.size(), 3u) << Trace();
  // One message for each key, none for the reads that carried no key.
  EXPECT_EQ(KeyMessageTimes().size(), keys.size()) << Trace();
  EXPECT_EQ(keys[0].code, ShowPanelKey);
  EXPECT_EQ(keys[0].ms, FirstTickMs);
  EXPECT_EQ(keys[1].code, SomeKey);
  EXPECT_EQ(keys[2].code, 0x37);
  EXPECT_EQ(keys[2].ms - keys[1].ms, GetParam() == 1 ? 50 : 200);
}

INSTANTIATE_TEST_SUITE_P(StreamAndStatus, KeyModeTest, ::testing::Values(1, 0));

}  // namespace
