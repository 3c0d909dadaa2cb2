// Requests that do not describe a whole, in-range transfer into one buffer are refused before a
// byte moves: the call fails, reports 0 bytes, and memory beyond the caller's buffer is untouched.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/platform_devices/image_file.h"
#include "tests/platform_devices/sector_transfer.h"

namespace {

constexpr std::uint8_t Guard = 0xEE;
constexpr std::size_t GuardBytes = 1024;

struct MalformedCase {
  const char* what;
  DWORD code;
  DWORD in_size_change;  // added to sizeof(SG_REQ)
  bool null_request;
  DWORD start;
  DWORD sectors;
  DWORD buffers;
  bool null_buffer;
  DWORD buffer_length;  // sb_len
};

constexpr DWORD Size = sizeof(SG_REQ);
// The record's size on a host of the other word size: 28 bytes on 32 bits, 40 on 64.
constexpr DWORD OtherHostSize = Size == 28 ? 40 : 28;

const MalformedCase Cases[] = {
    {"unknown control code", 4, 0, false, 629, 1, 1, false, 512},
    {"control code 0", 0, 0, false, 629, 1, 1, false, 512},
    {"record one byte short", DISK_IOCTL_READ, static_cast<DWORD>(-1), false, 629, 1, 1, false,
     512},
    {"the other word size's record", DISK_IOCTL_READ, OtherHostSize - Size, false, 629, 1, 1, false,
     512},
    {"record too long", DISK_IOCTL_READ, 4, false, 629, 1, 1, false, 512},
    {"no record", DISK_IOCTL_READ, 0, true, 629, 1, 1, false, 512},
    {"no buffers", DISK_IOCTL_READ, 0, false, 629, 1, 0, false, 512},
    {"two buffers", DISK_IOCTL_READ, 0, false, 629, 1, 2, false, 512},
    {"null buffer", DISK_IOCTL_READ, 0, false, 629, 1, 1, true, 512},
    {"buffer a byte short", DISK_IOCTL_READ, 0, false, 629, 1, 1, false, 511},
    {"buffer a sector short", DISK_IOCTL_READ, 0, false, 629, 10, 1, false, 4608},
    {"no sectors", DISK_IOCTL_READ, 0, false, 629, 0, 1, false, 512},
    {"starts past the end", DISK_IOCTL_READ, 0, false, ImageFile::Sectors, 1, 1, false, 512},
    {"runs past the end", DISK_IOCTL_READ, 0, false, ImageFile::Sectors - 1, 2, 1, false, 1024},
    {"start near 2^32", DISK_IOCTL_READ, 0, false, 0xFFFFFFFF, 2, 1, false, 1024},
    {"write past the end", DISK_IOCTL_WRITE, 0, false, ImageFile::Sectors, 1, 1, false, 512},
    {"write buffer short", DISK_IOCTL_WRITE, 0, false, 629, 2, 1, false, 1000},
    {"write with no buffers", DISK_IOCTL_WRITE, 0, false, 629, 1, 0, false, 512},
};

TEST(MalformedRequest, IsRefusedWithoutTouchingMemoryOrDevice) {
  ImageFile image;
  HANDLE device = OpenLinkDevice(image.path().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  const std::vector<std::uint8_t> image_before = image.Read(0, ImageFile::Sectors);

  for (const MalformedCase& c : Cases) {
    // The buffer the request names, followed by guard bytes the transfer must not reach; the
    // record itself is followed by guard bytes too.
    std::vector<std::uint8_t> memory(c.buffer_length + GuardBytes, Guard);
    std::vector<std::uint8_t> record_memory(sizeof(SG_REQ) + GuardBytes, Guard);
    SG_REQ request{};
    request.sr_start = c.start;
    request.sr_num_sec = c.sectors;
    request.sr_num_sg = c.buffers;
    request.sr_status = 0x1234;
    request.sr_sglist[0].sb_buf = c.null_buffer ? nullptr : memory.data();
    request.sr_sglist[0].sb_len = c.buffer_length;
    std::memcpy(record_memory.data(), &request, sizeof request);

    DWORD bytes = 0xDEAD;
    const BOOL done =
        DeviceIoControl(device, c.code, c.null_request ? nullptr : record_memory.data(),
                        Size + c.in_size_change, nullptr, 0, &bytes, nullptr);
    EXPECT_FALSE(done) << c.what;
    EXPECT_EQ(bytes, 0u) << c.what;
    EXPECT_EQ(memory, std::vector<std::uint8_t>(memory.size(), Guard)) << c.what;
    EXPECT_EQ(
        std::vector<std::uint8_t>(record_memory.begin() + sizeof(SG_REQ), record_memory.end()),
        std::vector<std::uint8_t>(GuardBytes, Guard))
        << c.what;
  }
  EXPECT_EQ(image.Read(0, ImageFile::Sectors), image_before);
  CloseHandle(device);
}

TEST(MalformedRequest, WellFormedNeighboursSucceed) {
  ImageFile image;
  HANDLE device = OpenLinkDevice(image.path().c_str(), 1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<std::uint8_t> memory(5120 + 1, Guard);

  // The last sector of the device, a buffer longer than needed, and an output buffer that is
  // simply ignored.
  SG_REQ request{};
  request.sr_start = ImageFile::Sectors - 1;
  request.sr_num_sec = 1;
  request.sr_num_sg = 1;
  request.sr_sglist[0].sb_buf = memory.data();
  request.sr_sglist[0].sb_len = static_cast<DWORD>(memory.size());
  std::uint8_t output[4] = {};
  DWORD bytes = 0;
  EXPECT_TRUE(DeviceIoControl(device, DISK_IOCTL_READ, &request, sizeof request, output,
                              sizeof output, &bytes, nullptr));
  EXPECT_EQ(bytes, 512u);
  EXPECT_EQ(request.sr_status, 0u);
  EXPECT_EQ(memory[0], (ImageFile::Sectors - 1) % 251);
  EXPECT_EQ(memory[512], Guard);
  CloseHandle(device);
}

TEST(MalformedRequest, UnknownHandlesAreRefused) {
  std::vector<std::uint8_t> sector(512, Guard);
  for (HANDLE handle :
       {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(0x1234)}) {
    const TransferResult result = ReadSectors(handle, 0, 1, sector.data());
    EXPECT_FALSE(result.done);
    EXPECT_EQ(result.bytes, 0u);
  }
  EXPECT_EQ(sector, std::vector<std::uint8_t>(512, Guard));
}

}  // namespace
