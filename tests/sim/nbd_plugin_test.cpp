// The simulated controller served by a real nbdkit through the plugin, reached by the platform's
// NBD backend as a panel on another machine would reach it.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/controller.h"
#include "sim/lcd_stream.h"
#include "tests/platform_devices/sector_transfer.h"
#include "tests/sim/sim_test_support.h"

extern char** environ;

namespace {

// nbdkit serving the plugin on a Unix socket, in the foreground, ending with the test.
class NbdServer {
 public:
  explicit NbdServer(const std::vector<std::string>& options) {
    char folder[] = "/tmp/quelt-nbd-XXXXXX";
    folder_ = mkdtemp(folder);
    socket_ = folder_ + "/unit.sock";
    std::vector<std::string> words = {"nbdkit", "--exit-with-parent", "-f", "-U",
                                      socket_,  QUELT_SIM_PLUGIN};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** variable = environ; *variable; ++variable) environment.push_back(*variable);
#ifdef QUELT_NBDKIT_PRELOAD
    environment.push_back("LD_PRELOAD=" QUELT_NBDKIT_PRELOAD);
    environment.push_back("ASAN_OPTIONS=detect_leaks=0");
#endif
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    if (posix_spawnp(&pid_, "nbdkit", nullptr, nullptr, argv.data(), envp.data()) != 0) pid_ = 0;
    // Up when the socket appears; gone for good when nbdkit ends first.
    struct stat status;
    for (int i = 0; pid_ && i < 500 && stat(socket_.c_str(), &status) != 0; ++i) {
      if (waitpid(pid_, &exit_status_, WNOHANG) == pid_) {
        pid_ = 0;
        break;
      }
      usleep(10000);
    }
  }
  ~NbdServer() {
    Stop();
    unlink(socket_.c_str());
    rmdir(folder_.c_str());
  }
  void Stop() {
    if (pid_ == 0) return;
    kill(pid_, SIGKILL);  // a server that dies, not one that says goodbye
    waitpid(pid_, &exit_status_, 0);
    pid_ = 0;
  }
  bool running() const { return pid_ != 0; }
  int exit_status() const { return exit_status_; }
  std::string list() const { return "nbd+unix:///?socket=" + socket_; }

 private:
  std::string folder_;
  std::string socket_;
  pid_t pid_ = 0;
  int exit_status_ = 0;
};

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
  NbdServer server({"variant=2"});
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
  NbdServer server({"fail_opens=1", "fail_reads=1", "fail_writes=1", "short_reads=1@0"});
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
  NbdServer server({});
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
  NbdServer server({"variant=9"});
  EXPECT_FALSE(server.running());
  EXPECT_NE(server.exit_status(), 0);
}

}  // namespace
