// Block devices behind CreateFileW("DSK1:") ... ("DSK5:"). The names resolve through the
// comma-separated list in QUELT_LINK_DEVICES (unset means "sim"): a device node or an image file,
// an NBD URI, or "scheme[:key=value,...]" for a backend registered here. A backend is a small table
// of functions; the platform brings the file and NBD backends and knows no other by name.
#pragma once

#include <cstdint>

namespace platform {

constexpr std::uint32_t BlockSectorBytes = 512;

struct BlockDeviceBackend {
  // options: the text after "scheme:" (empty for a bare "scheme"); device_number: 1 to 5 for
  // DSK1 to DSK5. Returns the open device, or null when it does not open.
  void* (*open)(const char* options, int device_number);
  std::uint64_t (*sector_count)(void* device);
  // Whole sectors. Returns false when the transfer failed. *bytes_moved is what reached the
  // caller's buffer or the device, also on failure and for a short transfer.
  bool (*read)(void* device, std::uint64_t first_sector, std::uint32_t sectors, std::uint8_t* data,
               std::uint32_t* bytes_moved);
  bool (*write)(void* device, std::uint64_t first_sector, std::uint32_t sectors,
                const std::uint8_t* data, std::uint32_t* bytes_moved);
  void (*close)(void* device);
};

// Makes "scheme" usable in QUELT_LINK_DEVICES. A later registration of the same scheme replaces
// the earlier one; handles already open keep the backend they were opened with.
void RegisterBlockDeviceBackend(const char* scheme, const BlockDeviceBackend& backend);

}  // namespace platform
