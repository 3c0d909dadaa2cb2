// Sector transfers as the panel issues them: one SG_REQ with one buffer through DeviceIoControl.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/win32.h"

struct TransferResult {
  BOOL done;
  DWORD bytes;
};

inline TransferResult TransferSectors(HANDLE device, DWORD code, DWORD start, DWORD sectors,
                                      std::uint8_t* buffer) {
  SG_REQ request{};
  request.sr_start = start;
  request.sr_num_sec = sectors;
  request.sr_num_sg = 1;
  request.sr_sglist[0].sb_buf = buffer;
  request.sr_sglist[0].sb_len = sectors * 512;
  DWORD bytes = 0;
  const BOOL done =
      DeviceIoControl(device, code, &request, sizeof request, nullptr, 0, &bytes, nullptr);
  return {done, bytes};
}

inline TransferResult ReadSectors(HANDLE device, DWORD start, DWORD sectors, std::uint8_t* buffer) {
  return TransferSectors(device, DISK_IOCTL_READ, start, sectors, buffer);
}

inline TransferResult WriteSectors(HANDLE device, DWORD start, DWORD sectors,
                                   std::uint8_t* buffer) {
  return TransferSectors(device, DISK_IOCTL_WRITE, start, sectors, buffer);
}

// Opens "DSKn:" as the panel does, after pointing QUELT_LINK_DEVICES at the given list.
inline HANDLE OpenLinkDevice(const char* list, int number) {
  setenv("QUELT_LINK_DEVICES", list, 1);
  const char16_t name[] = {u'D', u'S', u'K', static_cast<char16_t>(u'0' + number), u':', 0};
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}
