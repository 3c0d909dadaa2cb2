// Arbitrary request records and link device lists: DeviceIoControl must refuse what does not fit
// the caller's buffer (the address sanitizer watches the buffer's edges), and the list parser must
// take any text. Input: a list up to the first newline, then records of control code, in_size,
// start, sector count, buffer count and buffer length.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/block_device.h"
#include "platform/devices/devices.h"
#include "platform/win32.h"

namespace {

struct RequestFields {
  std::uint32_t code, in_size, start, sectors, buffers, length;
};

// A device of plain memory behind DSK1: the request checks are what is fuzzed, and the simulated
// controller behind them spent most of each input drawing LCD frames that nothing looked at. A
// transfer the checks should have refused runs off the end of the disk, where the address
// sanitizer sees it.
constexpr std::uint64_t DiskSectors = 2048;
std::uint8_t disk[DiskSectors * 512];

void* OpenMemory(const char*, int) { return disk; }
std::uint64_t MemorySectors(void*) { return DiskSectors; }
bool ReadMemory(void*, std::uint64_t first, std::uint32_t sectors, std::uint8_t* data,
                std::uint32_t* moved) {
  std::memcpy(data, disk + first * 512, std::size_t{sectors} * 512);
  *moved = sectors * 512;
  return true;
}
bool WriteMemory(void*, std::uint64_t first, std::uint32_t sectors, const std::uint8_t* data,
                 std::uint32_t* moved) {
  std::memcpy(disk + first * 512, data, std::size_t{sectors} * 512);
  *moved = sectors * 512;
  return true;
}
void CloseMemory(void*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t* newline = static_cast<const std::uint8_t*>(std::memchr(data, '\n', size));
  const std::size_t list_length = newline ? static_cast<std::size_t>(newline - data) : 0;
  platform::ParseLinkDeviceList(
      std::string(reinterpret_cast<const char*>(data), list_length).c_str());

  static const bool registered =
      (platform::RegisterBlockDeviceBackend(
           "memory", {OpenMemory, MemorySectors, ReadMemory, WriteMemory, CloseMemory}),
       setenv("QUELT_LINK_DEVICES", "memory", 1), true);
  (void)registered;
  static HANDLE device =
      CreateFileW(u"DSK1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);

  std::size_t at = newline ? list_length + 1 : 0;
  while (at + sizeof(RequestFields) <= size) {
    RequestFields fields;
    std::memcpy(&fields, data + at, sizeof fields);
    at += sizeof fields;
    // A buffer of exactly the length the request states, so any write past it is caught.
    const std::uint32_t length = fields.length % (12 * 512);
    std::vector<std::uint8_t> buffer(length);
    SG_REQ request{};
    request.sr_start = fields.start % 4096;
    request.sr_num_sec = fields.sectors % 16;
    request.sr_num_sg = fields.buffers % 3;
    request.sr_sglist[0].sb_buf = length ? buffer.data() : nullptr;
    request.sr_sglist[0].sb_len = length;
    std::vector<std::uint8_t> record(sizeof request);
    std::memcpy(record.data(), &request, sizeof request);
    const DWORD in_size = fields.in_size % (sizeof request + 8);
    DWORD bytes = 0;
    DeviceIoControl(device, fields.code % 5, record.data(), in_size, nullptr, 0, &bytes, nullptr);
    if (bytes > length) std::abort();
  }
  return 0;
}
