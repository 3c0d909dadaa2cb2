// Link devices on image files and kernel block devices: sectors reach the file, reads see what
// changed behind the device, O_DIRECT is in force, and opens that cannot work fail cleanly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "tests/platform_devices/image_file.h"
#include "tests/platform_devices/sector_transfer.h"

namespace {

std::vector<std::uint8_t> Pattern(int sectors, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(sectors * 512);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

// The open flags of this process's descriptor on `path`, from /proc/self/fdinfo.
// The status flags of this process's descriptor on the path, -1 when it has none. Asked through
// fcntl rather than read from /proc/self/fdinfo: under a user-mode emulator (the ARM runs) that
// file shows the host's encoding of the flags, and O_DIRECT is another bit on ARM than on x86.
int OpenFlagsOf(const std::string& path) {
  for (int fd = 0; fd < 1024; ++fd) {
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0 || std::string(target, length) != path) continue;
    return fcntl(fd, F_GETFL);
  }
  return -1;
}

void ExpectDeviceMirrorsImage(HANDLE device, const ImageFile& image) {
  // Written through the device, read past it.
  std::vector<std::uint8_t> written = Pattern(1, 0x41);
  TransferResult result = WriteSectors(device, 629, 1, written.data());
  EXPECT_TRUE(result.done);
  EXPECT_EQ(result.bytes, 512u);
  EXPECT_EQ(image.Read(629, 1), written);

  // Changed behind the device, read through it: the read must not come from a cache.
  std::vector<std::uint8_t> changed = Pattern(10, 0x90);
  std::vector<std::uint8_t> before(5120);
  ASSERT_TRUE(ReadSectors(device, 629, 10, before.data()).done);
  image.Write(629, changed);
  std::vector<std::uint8_t> read(5120);
  result = ReadSectors(device, 629, 10, read.data());
  EXPECT_TRUE(result.done);
  EXPECT_EQ(result.bytes, 5120u);
  EXPECT_EQ(read, changed);
}

TEST(ImageFileDevice, SectorsReachTheImageAndReadsSeeItsChanges) {
  ImageFile image;
  HANDLE device = OpenLinkDevice(("," + image.path()).c_str(), 2);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  ExpectDeviceMirrorsImage(device, image);
  EXPECT_TRUE(CloseHandle(device));
}

TEST(ImageFileDevice, IsOpenedForDirectIo) {
  ImageFile image;
  HANDLE device = OpenLinkDevice(image.path().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  const int flags = OpenFlagsOf(image.path());
  ASSERT_NE(flags, -1) << "no descriptor on the image";
  EXPECT_NE(flags & O_DIRECT, 0);
  EXPECT_EQ(flags & O_ACCMODE, O_RDWR);
  CloseHandle(device);
  EXPECT_EQ(OpenFlagsOf(image.path()), -1) << "CloseHandle left the image open";
}

// A loop device over the image: a real kernel block device with a page cache of its own. With
// 4096-byte sectors it refuses 512-byte O_DIRECT transfers, as some USB bridges do.
class LoopDevice {
 public:
  explicit LoopDevice(const std::string& image, int sector_bytes = 512) {
    const std::string command = "losetup --find --show --sector-size " +
                                std::to_string(sector_bytes) + " " + image + " 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char line[256] = {};
      if (std::fgets(line, sizeof line, pipe)) node_ = std::string(line, std::strcspn(line, "\n"));
      pclose(pipe);
    }
  }
  ~LoopDevice() {
    if (!node_.empty()) std::system(("losetup -d " + node_).c_str());
  }
  const std::string& node() const { return node_; }

 private:
  std::string node_;
};

TEST(KernelBlockDevice, LoopDeviceOverAnImageCarriesSectorsBothWays) {
  ImageFile image;
  LoopDevice loop(image.path());
  if (loop.node().empty()) GTEST_SKIP() << "losetup cannot attach a loop device here (needs root)";
  HANDLE device = OpenLinkDevice(loop.node().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<std::uint8_t> sector(512);
  ASSERT_TRUE(ReadSectors(device, 597, 1, sector.data()).done);
  EXPECT_EQ(sector, image.Read(597, 1));
  ExpectDeviceMirrorsImage(device, image);
  EXPECT_NE(OpenFlagsOf(loop.node()) & O_DIRECT, 0);
  CloseHandle(device);
}

TEST(KernelBlockDevice, DeviceRefusingDirectIoStillWritesThroughToTheImage) {
  ImageFile image;
  LoopDevice loop(image.path(), 4096);
  if (loop.node().empty()) GTEST_SKIP() << "losetup cannot attach a loop device here (needs root)";
  HANDLE device = OpenLinkDevice(loop.node().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  // A write left in the loop device's page cache would not be in the image yet.
  ExpectDeviceMirrorsImage(device, image);
  CloseHandle(device);
}

// A sparse image on a tmpfs with no room left: writes into it are taken into the page cache and
// fail only when the kernel flushes them.
class ImageOnFullTmpfs {
 public:
  ImageOnFullTmpfs() {
    char folder[] = "/tmp/quelt-full-XXXXXX";
    folder_ = mkdtemp(folder);
    if (mount("quelt-full", folder_.c_str(), "tmpfs", 0, "size=256k") != 0) return;
    mounted_ = true;
    path_ = folder_ + "/unit.img";
    const int image = open(path_.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    if (ftruncate(image, ImageFile::Sectors * 512) != 0) std::abort();
    close(image);
    const int filler = open((folder_ + "/filler").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    const std::vector<std::uint8_t> block(4096, 1);
    while (write(filler, block.data(), block.size()) > 0) {
    }
    close(filler);
  }
  ~ImageOnFullTmpfs() {
    if (mounted_) umount(folder_.c_str());
    rmdir(folder_.c_str());
  }
  bool mounted() const { return mounted_; }
  const std::string& path() const { return path_; }

 private:
  std::string folder_;
  std::string path_;
  bool mounted_ = false;
};

TEST(KernelBlockDevice, WriteThatNeverReachesTheDeviceFails) {
  ImageOnFullTmpfs full;
  if (!full.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
  LoopDevice loop(full.path(), 4096);
  if (loop.node().empty()) GTEST_SKIP() << "losetup cannot attach a loop device here (needs root)";
  HANDLE device = OpenLinkDevice(loop.node().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<std::uint8_t> packet = Pattern(1, 0x15);
  const TransferResult result = WriteSectors(device, 629, 1, packet.data());
  EXPECT_FALSE(result.done);
  EXPECT_EQ(result.bytes, 0u);
  CloseHandle(device);
}

struct OpenCase {
  const char* what;
  std::string list;
  const char16_t* name;
  DWORD disposition;
};

TEST(LinkDeviceOpen, OpensThatCannotWorkFail) {
  ImageFile image;
  const OpenCase cases[] = {
      {"empty list", "", u"DSK1:", OPEN_EXISTING},
      {"empty entry", "," + image.path(), u"DSK1:", OPEN_EXISTING},
      {"beyond the list", image.path(), u"DSK2:", OPEN_EXISTING},
      {"missing file", image.folder() + "/missing.img", u"DSK1:", OPEN_EXISTING},
      {"a folder", image.folder(), u"DSK1:", OPEN_EXISTING},
      {"unknown scheme", "nosuch:x=1", u"DSK1:", OPEN_EXISTING},
      {"no NBD server", "nbd+unix:///?socket=" + image.folder() + "/none.sock", u"DSK1:",
       OPEN_EXISTING},
      {"DSK0", image.path(), u"DSK0:", OPEN_EXISTING},
      {"DSK6", image.path() + ",,,,," + image.path(), u"DSK6:", OPEN_EXISTING},
      {"no colon", image.path(), u"DSK1", OPEN_EXISTING},
      {"other device", image.path(), u"COM1:", OPEN_EXISTING},
      {"creates", image.path(), u"DSK1:", 2},
  };
  for (const OpenCase& c : cases) {
    setenv("QUELT_LINK_DEVICES", c.list.c_str(), 1);
    HANDLE device =
        CreateFileW(c.name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, c.disposition, 0, nullptr);
    EXPECT_EQ(device, INVALID_HANDLE_VALUE) << c.what;
  }
}

TEST(LinkDeviceOpen, NamesAreMatchedWithoutRegardToCase) {
  ImageFile image;
  setenv("QUELT_LINK_DEVICES", image.path().c_str(), 1);
  HANDLE device =
      CreateFileW(u"dsk1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(device, INVALID_HANDLE_VALUE);
  CloseHandle(device);
}

TEST(LinkDeviceOpen, ClosedHandleNoLongerTransfers) {
  ImageFile image;
  HANDLE device = OpenLinkDevice(image.path().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(CloseHandle(device));
  std::vector<std::uint8_t> sector(512);
  EXPECT_FALSE(ReadSectors(device, 0, 1, sector.data()).done);
  EXPECT_FALSE(CloseHandle(device));
}

TEST(LinkDeviceOpen, ReadOnlyHandleRefusesWrites) {
  ImageFile image;
  setenv("QUELT_LINK_DEVICES", image.path().c_str(), 1);
  HANDLE device = CreateFileW(u"DSK1:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<std::uint8_t> sector = Pattern(1, 3);
  EXPECT_TRUE(ReadSectors(device, 5, 1, sector.data()).done);
  EXPECT_FALSE(WriteSectors(device, 5, 1, sector.data()).done);
  EXPECT_EQ(image.Read(5, 1), std::vector<std::uint8_t>(512, 5));
  CloseHandle(device);
}

}  // namespace
