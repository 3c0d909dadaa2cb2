// The four sector transfers through which everything is exchanged with the controller, all made
// with the one SectorRequest of the state record on the open LinkHandle. Link thread only.
#pragma once

#include "platform/win32.h"

// A read may come back one byte short of full and still count as good.
constexpr DWORD StreamReadGoodBytes = 5119;
constexpr DWORD StatusReadGoodBytes = 511;

// True while LinkHandle names an open device (neither 0 nor the invalid-handle value).
bool LinkDeviceOpen();

// Sector 597 into the ProbeBuffer; issued only on an open device, its outcome is judged by the
// signature alone.
void ReadProbeSector();
// The CommandSectorImage into sector 629; non-zero when the device accepted it.
BOOL WriteCommandSector();
// Sectors 629 to 638 into the StreamBuffer; non-zero when at least 5119 bytes came back.
BOOL ReadStreamSectors();
// Sector 629 into the start of the StreamBuffer; non-zero when at least 511 bytes came back.
BOOL ReadStatusSector();
