// Link devices on a real nbdkit: sectors make the round trip, and no open or transfer waits for a
// server that stopped, never answers or never completes the connection. A failed transfer gives
// the connection up; closing it returns at once, and a fresh open works once the server is back.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "tests/platform_devices/loopback_port.h"
#include "tests/platform_devices/nbd_server.h"
#include "tests/platform_devices/sector_transfer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Only stops a hung test: the deadlines themselves are 1 s for an open and 0.5 s for a transfer.
constexpr auto HangGuard = 3s;

constexpr DWORD StreamSector = 629;

std::vector<std::uint8_t> Pattern(int sectors, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(sectors * 512);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 3);
  return bytes;
}

// Runs `action` on a thread of its own and waits up to `limit` for it. When it is still running
// then, `release` unblocks it, so that the test fails instead of hanging, and the answer is false.
template <typename Action, typename Release>
bool FinishesWithin(Clock::duration limit, Action action, Release release) {
  std::future<void> running = std::async(std::launch::async, action);
  if (running.wait_for(limit) == std::future_status::ready) return true;
  release();
  running.wait();
  return false;
}

TEST(NbdDevice, SectorsMakeTheRoundTripAtAnyOffset) {
  // Sparse, and larger than 4 GiB so that byte offsets need 64 bits.
  NbdServer server("memory", {"size=5G"});
  ASSERT_TRUE(server.running()) << "nbdkit did not start";
  const DWORD sectors[] = {0, StreamSector, 9000000, 5u * 1024 * 1024 * 2 - 10};
  HANDLE writer = OpenLinkDevice(server.list().c_str(), 1);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  for (DWORD sector : sectors) {
    std::vector<std::uint8_t> data = Pattern(10, static_cast<std::uint8_t>(sector));
    const TransferResult written = WriteSectors(writer, sector, 10, data.data());
    EXPECT_TRUE(written.done) << sector;
    EXPECT_EQ(written.bytes, 5120u) << sector;
  }
  // Read back over a connection of its own, so nothing comes from the writer's side.
  HANDLE reader = OpenLinkDevice(server.list().c_str(), 1);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  for (DWORD sector : sectors) {
    std::vector<std::uint8_t> data(5120);
    const TransferResult read = ReadSectors(reader, sector, 10, data.data());
    EXPECT_TRUE(read.done) << sector;
    EXPECT_EQ(read.bytes, 5120u) << sector;
    EXPECT_EQ(data, Pattern(10, static_cast<std::uint8_t>(sector))) << sector;
  }
  CloseHandle(writer);
  CloseHandle(reader);
}

TEST(NbdDeadline, StreamFailsWhenTheServerStopsAndAFreshOpenRecovers) {
  NbdServer server("memory", {"size=1M"});
  ASSERT_TRUE(server.running()) << "nbdkit did not start";
  HANDLE device = OpenLinkDevice(server.list().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);

  // The stream polls back to back, as the link thread does, so the stop lands at any point of a
  // transfer.
  std::atomic<bool> stop{false};
  std::atomic<int> reads{0};
  std::future<TransferResult> stream = std::async(std::launch::async, [&] {
    std::vector<std::uint8_t> data(5120);
    TransferResult result{TRUE, 0};
    while (!stop && result.done) {
      result = ReadSectors(device, StreamSector, 10, data.data());
      ++reads;
    }
    return result;
  });
  while (reads < 20 && stream.wait_for(1ms) != std::future_status::ready) {
  }
  ASSERT_GE(reads, 20) << "the stream failed before the server stopped";
  server.Pause();
  const bool ended = stream.wait_for(HangGuard) == std::future_status::ready;
  stop = true;
  if (!ended) server.Resume();  // lets the hung read go, so that the test can end
  const TransferResult failed = stream.get();
  ASSERT_TRUE(ended) << "a read still waits for the stopped server";
  EXPECT_FALSE(failed.done);
  EXPECT_EQ(failed.bytes, 0u);

  // The connection is given up, also once the server answers again: the late reply must never
  // land in the failed read's buffer, which is gone with the stream.
  server.Resume();
  std::vector<std::uint8_t> data(5120);
  const TransferResult again = ReadSectors(device, StreamSector, 10, data.data());
  EXPECT_FALSE(again.done);
  EXPECT_EQ(again.bytes, 0u);
  EXPECT_TRUE(CloseHandle(device));

  device = OpenLinkDevice(server.list().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  for (int i = 0; i < 3; ++i) {
    const TransferResult read = ReadSectors(device, StreamSector, 10, data.data());
    EXPECT_TRUE(read.done);
    EXPECT_EQ(read.bytes, 5120u);
  }
  CloseHandle(device);
}

TEST(NbdDeadline, WriteToAStoppedServerFailsAndItsHandleClosesPromptly) {
  NbdServer server("memory", {"size=1M"});
  ASSERT_TRUE(server.running()) << "nbdkit did not start";
  HANDLE device = OpenLinkDevice(server.list().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<std::uint8_t> packet = Pattern(1, 0x15);
  ASSERT_TRUE(WriteSectors(device, StreamSector, 1, packet.data()).done);

  server.Pause();
  const auto resume = [&] { server.Resume(); };
  TransferResult failed{TRUE, 1};
  EXPECT_TRUE(FinishesWithin(
      HangGuard, [&] { failed = WriteSectors(device, StreamSector, 1, packet.data()); }, resume));
  EXPECT_FALSE(failed.done);
  EXPECT_EQ(failed.bytes, 0u);
  // The write is still in flight to the stopped server when the handle closes.
  BOOL closed = FALSE;
  EXPECT_TRUE(FinishesWithin(
      HangGuard, [&] { closed = CloseHandle(device); }, resume));
  EXPECT_TRUE(closed);

  server.Resume();
  device = OpenLinkDevice(server.list().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  packet = Pattern(1, 0x51);
  EXPECT_TRUE(WriteSectors(device, StreamSector, 1, packet.data()).done);
  std::vector<std::uint8_t> read(512);
  EXPECT_TRUE(ReadSectors(device, StreamSector, 1, read.data()).done);
  EXPECT_EQ(read, packet);
  CloseHandle(device);
}

TEST(NbdDeadline, SignalsNeitherEndNorStretchTheWait) {
  struct sigaction ignore_usr1 = {}, previous = {};
  ignore_usr1.sa_handler = [](int) {};
  sigaction(SIGUSR1, &ignore_usr1, &previous);
  NbdServer server("memory", {"size=1M"});
  ASSERT_TRUE(server.running()) << "nbdkit did not start";
  HANDLE device = OpenLinkDevice(server.list().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<std::uint8_t> data(5120);
  ASSERT_TRUE(ReadSectors(device, StreamSector, 10, data.data()).done);

  server.Pause();
  std::atomic<bool> done{false};
  TransferResult read{TRUE, 0};
  Clock::duration taken{};
  std::thread reader([&] {
    const Clock::time_point start = Clock::now();
    read = ReadSectors(device, StreamSector, 10, data.data());
    taken = Clock::now() - start;
    done = true;
  });
  // Every 20 ms a signal interrupts the wait; a wait that started over each time would never end.
  const Clock::time_point give_up = Clock::now() + HangGuard;
  while (!done && Clock::now() < give_up) {
    pthread_kill(reader.native_handle(), SIGUSR1);
    std::this_thread::sleep_for(20ms);
  }
  const bool ended = done;
  server.Resume();
  reader.join();
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_TRUE(ended) << "interrupted waits kept starting over";
  EXPECT_GE(taken, 500ms) << "an interruption ended the wait early";
  EXPECT_FALSE(read.done);
  CloseHandle(device);
}

struct BrokenServerCase {
  const char* what;
  LoopbackPort::Kind kind;
  bool accepts;          // the test takes the connection, so the client surely got through
  const char* greeting;  // what the server says before it falls silent
};

TEST(NbdDeadline, OpenOfABrokenServerFailsWithinTheConnectDeadline) {
  const BrokenServerCase cases[] = {
      {"nothing listening", LoopbackPort::Kind::Refusing, false, ""},
      {"takes the connection, never speaks", LoopbackPort::Kind::Silent, true, ""},
      {"starts the greeting, never ends it", LoopbackPort::Kind::Silent, true, "NBDMAGIC"},
      {"never completes the connection", LoopbackPort::Kind::QueueFull, false, ""},
  };
  for (const BrokenServerCase& c : cases) {
    LoopbackPort port(c.kind);
    std::future<bool> accepted = std::async(std::launch::async, [&] {
      return c.accepts && port.Accept(static_cast<int>(HangGuard / 1ms), c.greeting);
    });
    HANDLE device = nullptr;
    EXPECT_TRUE(FinishesWithin(
        HangGuard, [&] { device = OpenLinkDevice(port.uri().c_str(), 1); },
        [&] {
          accepted.wait();
          port.Close();
        }))
        << c.what;
    EXPECT_EQ(device, INVALID_HANDLE_VALUE) << c.what;
    EXPECT_EQ(accepted.get(), c.accepts) << c.what;
  }
}

TEST(NbdDeadline, TimeoutOptionsAreHonoured) {
  // Each longer than its default, so that an ignored option gives up too early.
  LoopbackPort silent(LoopbackPort::Kind::Silent);
  HANDLE device = nullptr;
  Clock::time_point start = Clock::now();
  EXPECT_TRUE(FinishesWithin(
      1300ms + HangGuard,
      [&] { device = OpenLinkDevice((silent.uri() + ",connect_timeout_ms=1300").c_str(), 1); },
      [&] { silent.Close(); }));
  EXPECT_GE(Clock::now() - start, 1300ms);
  EXPECT_EQ(device, INVALID_HANDLE_VALUE);

  NbdServer server("memory", {"size=1M"});
  ASSERT_TRUE(server.running()) << "nbdkit did not start";
  device = OpenLinkDevice((server.list() + ",transfer_timeout_ms=800").c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<std::uint8_t> data(5120);
  ASSERT_TRUE(ReadSectors(device, StreamSector, 10, data.data()).done);
  server.Pause();
  TransferResult read{TRUE, 0};
  start = Clock::now();
  EXPECT_TRUE(FinishesWithin(
      800ms + HangGuard, [&] { read = ReadSectors(device, StreamSector, 10, data.data()); },
      [&] { server.Resume(); }));
  EXPECT_GE(Clock::now() - start, 800ms);
  EXPECT_FALSE(read.done);
  CloseHandle(device);
}

TEST(NbdDeadline, OptionsOtherThanTheTwoTimeoutsFailTheOpen) {
  NbdServer server("memory", {"size=1M"});
  ASSERT_TRUE(server.running()) << "nbdkit did not start";
  const char* refused[] = {"connect_timeout_ms=0",
                           "transfer_timeout_ms=600001",
                           "transfer_timeout_ms=-5",
                           "transfer_timeout_ms=0x10",
                           "transfer_timeout_ms=5s",
                           "transfer_timeout_ms=",
                           "timeout_ms=500",
                           "connect_timeout_msx=500",
                           "transfer_timeout_ms=1,tls=1",
                           "connect_timeout_ms=99999999999999999999999"};
  for (const char* options : refused) {
    EXPECT_EQ(OpenLinkDevice((server.list() + "," + options).c_str(), 1), INVALID_HANDLE_VALUE)
        << options;
  }
  HANDLE device = OpenLinkDevice(
      (server.list() + ",connect_timeout_ms=600000,transfer_timeout_ms=1").c_str(), 1);
  EXPECT_NE(device, INVALID_HANDLE_VALUE);
  CloseHandle(device);
}

}  // namespace
