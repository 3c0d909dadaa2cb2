// Sector transfers: every one fills all seven fields of SectorRequest afresh, so nothing a
// previous transfer left in the record can leak into the next.
#include "link/sector_transfer.h"

#include "app/panel_state.h"

namespace {

// Issues one request with a single buffer; a device that is not open fails without a call.
BOOL TransferSectors(DWORD control_code, DWORD start_sector, DWORD sector_count,
                     std::uint8_t* buffer) {
  SG_REQ& request = Panel.SectorRequest;
  request.sr_start = start_sector;
  request.sr_num_sec = sector_count;
  request.sr_num_sg = 1;
  request.sr_status = 0;
  request.sr_callback = nullptr;  // synchronous
  request.sr_sglist[0].sb_buf = buffer;
  request.sr_sglist[0].sb_len = sector_count * SectorBytes;
  if (!LinkDeviceOpen()) return 0;
  return DeviceIoControl(Panel.LinkHandle, control_code, &request, sizeof(SG_REQ), nullptr, 0,
                         &Panel.BytesReturned, nullptr);
}

// The poll reads judge the count, so it is cleared first: a device that reports nothing is short.
BOOL ReadCounted(DWORD sector_count, DWORD good_bytes) {
  Panel.BytesReturned = 0;
  return TransferSectors(DISK_IOCTL_READ, ExchangeSector, sector_count, Panel.StreamBuffer) &&
         Panel.BytesReturned >= good_bytes;
}

}  // namespace

bool LinkDeviceOpen() {
  return Panel.LinkHandle != nullptr && Panel.LinkHandle != INVALID_HANDLE_VALUE;
}

void ReadProbeSector() { TransferSectors(DISK_IOCTL_READ, ProbeSector, 1, Panel.ProbeBuffer); }

BOOL WriteCommandSector() {
  return TransferSectors(DISK_IOCTL_WRITE, ExchangeSector, 1, Panel.CommandSectorImage);
}

BOOL ReadStreamSectors() { return ReadCounted(StreamSectors, StreamReadGoodBytes); }

BOOL ReadStatusSector() { return ReadCounted(1, StatusReadGoodBytes); }
