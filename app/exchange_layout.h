// Where things lie in the controller's sectors: the signature sector, the exchange area that
// commands go into and key codes, status and LCD chunks come out of, and the byte positions inside
// an exchange sector. The link reads and writes these sectors; the LCD frame assembly files the
// chunks they carry.
#pragma once

#include <cstdint>

constexpr int SectorBytes = 512;

// Sector 597 starts with the controller's signature; sector 629, and the nine after it while the
// LCD streams, is the exchange area.
constexpr std::uint32_t ProbeSector = 597;
constexpr std::uint32_t ExchangeSector = 629;
constexpr int StreamSectors = 10;
constexpr int StreamBufferBytes = StreamSectors * SectorBytes;

// In every exchange sector read: the status byte (status poll only) and the controller's key code.
constexpr int ExchangeStatusOffset = 504;
constexpr int ExchangeKeyCodeOffset = 506;

// A streamed sector carries three LCD chunks at 0, 160 and 320, with their row ids at 508, 509
// and 510.
constexpr int ChunkBytes = 160;
constexpr int ChunksPerSector = 3;
constexpr int ChunkRowIdOffset = 508;

// The chunk with this row id (right half of page 14) ends a frame.
constexpr std::uint8_t FrameEndRowId = 142;
