// A build without libnbd (QUELT_NBD off): an NBD target is still recognised, so that it is not
// mistaken for a file name, and fails to open with a note saying why.
#include "platform/devices/devices.h"

namespace platform {
namespace {

void* RefuseNbd(const char* uri, int) {
  NoteOnce(std::string("cannot reach link device ") + uri +
           ": this build has no network block device support");
  return nullptr;
}

std::uint64_t NoSectors(void*) { return 0; }

bool NoTransfer(void*, std::uint64_t, std::uint32_t, const std::uint8_t*, std::uint32_t* moved) {
  *moved = 0;
  return false;
}

bool NoRead(void* device, std::uint64_t first, std::uint32_t sectors, std::uint8_t* data,
            std::uint32_t* moved) {
  return NoTransfer(device, first, sectors, data, moved);
}

void NoClose(void*) {}

}  // namespace

const BlockDeviceBackend NbdBlockDevice = {RefuseNbd, NoSectors, NoRead, NoTransfer, NoClose};

}  // namespace platform
