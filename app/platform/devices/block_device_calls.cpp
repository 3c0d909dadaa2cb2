// CreateFileW on "DSK1:" to "DSK5:", and DeviceIoControl with DISK_IOCTL_READ / DISK_IOCTL_WRITE
// and one scatter/gather buffer. Start reading at DeviceIoControl: every request is checked whole
// before a byte moves, so a malformed one fails without touching memory beyond the caller's buffer.
// CloseHandle (core) closes the device through the kernel handle table.
#include <cstdlib>

#include "platform/devices/devices.h"
#include "platform/internal/kernel_handles.h"
#include "platform/internal/module_interfaces.h"
#include "platform/win32.h"

namespace platform {
namespace {

// Values the driver leaves in sr_status.
constexpr DWORD StatusSuccess = 0;
constexpr DWORD StatusInvalidParameter = 87;
constexpr DWORD StatusSectorNotFound = 27;
constexpr DWORD StatusWriteFault = 29;
constexpr DWORD StatusReadFault = 30;
constexpr DWORD StatusAccessDenied = 5;

struct OpenBlockDevice {
  BlockDeviceBackend backend;
  void* device;
  DWORD access;
  int number;  // 1 to 5 for DSK1 to DSK5
};

thread_local int backend_calls = 0;

// Marks the calling thread as inside a backend call while it lives.
struct InBackend {
  InBackend() { ++backend_calls; }
  ~InBackend() { --backend_calls; }
  InBackend(const InBackend&) = delete;
  InBackend& operator=(const InBackend&) = delete;
};

void CloseBlockDevice(void* object) {
  auto* open = static_cast<OpenBlockDevice*>(object);
  RecordDeviceClose(open->number);
  open->backend.close(open->device);
  delete open;
}

// 1 to 5 for "DSK1:" to "DSK5:" (any letter case, as device names are on the head unit), else 0.
int LinkDeviceNumber(LPCWSTR name) {
  if (!name) return 0;
  const char16_t prefix[] = u"DSK";
  for (int i = 0; i < 3; ++i) {
    if (name[i] != prefix[i] && name[i] != prefix[i] + (u'a' - u'A')) return 0;
  }
  if (name[3] < u'1' || name[3] > u'0' + LinkDeviceCount || name[4] != u':' || name[5] != 0) {
    return 0;
  }
  return name[3] - u'0';
}

// The request is read once into a local copy, so a caller changing it meanwhile cannot make the
// transfer disagree with the checks.
DWORD CheckRequest(const SG_REQ& request, const OpenBlockDevice& open, DWORD control_code) {
  const DWORD needed_access = control_code == DISK_IOCTL_READ ? GENERIC_READ : GENERIC_WRITE;
  if ((open.access & needed_access) == 0) return StatusAccessDenied;
  if (request.sr_num_sg != 1 || request.sr_num_sec == 0 || !request.sr_sglist[0].sb_buf) {
    return StatusInvalidParameter;
  }
  if (std::uint64_t{request.sr_sglist[0].sb_len} <
      std::uint64_t{request.sr_num_sec} * BlockSectorBytes) {
    return StatusInvalidParameter;
  }
  if (std::uint64_t{request.sr_start} + request.sr_num_sec >
      open.backend.sector_count(open.device)) {
    return StatusSectorNotFound;
  }
  return StatusSuccess;
}

}  // namespace

bool InDeviceBackend() { return backend_calls > 0; }

}  // namespace platform

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD, LPVOID, DWORD creation_disposition, DWORD,
                   HANDLE) {
  const int number = platform::LinkDeviceNumber(name);
  if (number == 0 || creation_disposition != OPEN_EXISTING ||
      (access & (GENERIC_READ | GENERIC_WRITE)) == 0) {
    return INVALID_HANDLE_VALUE;
  }
  const std::string target =
      platform::ParseLinkDeviceList(std::getenv("QUELT_LINK_DEVICES"))[number - 1];
  platform::BlockDeviceBackend backend;
  std::string open_text;
  void* device = nullptr;
  if (platform::ResolveLinkTarget(target, &backend, &open_text)) {
    const platform::InBackend inside;
    device = backend.open(open_text.c_str(), number);
  }
  platform::RecordDeviceOpen(number, device != nullptr, device ? backend.sector_count(device) : 0);
  if (!device) return INVALID_HANDLE_VALUE;
  auto* open = new platform::OpenBlockDevice{backend, device, access, number};
  HANDLE handle = platform::NewKernelHandle(platform::KernelObjectKind::BlockDevice, open,
                                            platform::CloseBlockDevice);
  if (!handle || handle == INVALID_HANDLE_VALUE) {
    platform::CloseBlockDevice(open);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

BOOL DeviceIoControl(HANDLE handle, DWORD control_code, LPVOID in_buffer, DWORD in_size, LPVOID,
                     DWORD, DWORD* bytes_returned, LPVOID) {
  if (bytes_returned) *bytes_returned = 0;
  auto* open = static_cast<platform::OpenBlockDevice*>(
      platform::KernelObject(handle, platform::KernelObjectKind::BlockDevice));
  if (!open || (control_code != DISK_IOCTL_READ && control_code != DISK_IOCTL_WRITE) ||
      !in_buffer || in_size != sizeof(SG_REQ)) {
    return FALSE;
  }
  auto* caller_request = static_cast<SG_REQ*>(in_buffer);
  const SG_REQ request = *caller_request;
  caller_request->sr_status = platform::CheckRequest(request, *open, control_code);
  if (caller_request->sr_status != platform::StatusSuccess) return FALSE;

  std::uint32_t moved = 0;
  const platform::InBackend inside;
  const bool done = control_code == DISK_IOCTL_READ
                        ? open->backend.read(open->device, request.sr_start, request.sr_num_sec,
                                             request.sr_sglist[0].sb_buf, &moved)
                        : open->backend.write(open->device, request.sr_start, request.sr_num_sec,
                                              request.sr_sglist[0].sb_buf, &moved);
  platform::RecordTransfer(open->number, control_code == DISK_IOCTL_WRITE, request.sr_start,
                           request.sr_num_sec, done, moved, request.sr_sglist[0].sb_buf);
  if (bytes_returned) *bytes_returned = moved;
  caller_request->sr_status = done                              ? platform::StatusSuccess
                              : control_code == DISK_IOCTL_READ ? platform::StatusReadFault
                                                                : platform::StatusWriteFault;
  return done ? TRUE : FALSE;
}
