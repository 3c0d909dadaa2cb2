// Link devices on a network block device server ("nbd://host:port", "nbd+unix:///?socket=PATH"),
// through libnbd. The connection is made at open, so a server that is not there fails the open;
// a server that goes away fails the next transfer.
#include <libnbd.h>

#include "platform/devices/devices.h"

namespace platform {
namespace {

struct NbdDevice {
  nbd_handle* nbd;
  std::uint64_t sectors;
};

void* OpenNbd(const char* uri, int) {
  nbd_handle* nbd = nbd_create();
  if (!nbd) return nullptr;
  std::int64_t size = -1;
  if (nbd_connect_uri(nbd, uri) == -1 || (size = nbd_get_size(nbd)) < 0) {
    NoteOnce(std::string("cannot reach link device ") + uri + ": " + nbd_get_error());
    nbd_close(nbd);
    return nullptr;
  }
  return new NbdDevice{nbd, static_cast<std::uint64_t>(size) / BlockSectorBytes};
}

std::uint64_t NbdSectorCount(void* device) { return static_cast<NbdDevice*>(device)->sectors; }

// An NBD transfer moves all of its bytes or none.
bool ReadNbd(void* device, std::uint64_t first_sector, std::uint32_t sectors, std::uint8_t* data,
             std::uint32_t* bytes_moved) {
  const std::uint32_t bytes = sectors * BlockSectorBytes;
  const bool done = nbd_pread(static_cast<NbdDevice*>(device)->nbd, data, bytes,
                              first_sector * BlockSectorBytes, 0) == 0;
  *bytes_moved = done ? bytes : 0;
  return done;
}

bool WriteNbd(void* device, std::uint64_t first_sector, std::uint32_t sectors,
              const std::uint8_t* data, std::uint32_t* bytes_moved) {
  const std::uint32_t bytes = sectors * BlockSectorBytes;
  const bool done = nbd_pwrite(static_cast<NbdDevice*>(device)->nbd, data, bytes,
                               first_sector * BlockSectorBytes, 0) == 0;
  *bytes_moved = done ? bytes : 0;
  return done;
}

void CloseNbd(void* device) {
  auto* opened = static_cast<NbdDevice*>(device);
  nbd_close(opened->nbd);
  delete opened;
}

}  // namespace

const BlockDeviceBackend NbdBlockDevice = {OpenNbd, NbdSectorCount, ReadNbd, WriteNbd, CloseNbd};

}  // namespace platform
