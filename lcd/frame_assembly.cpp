// Frame assembly. A streamed sector holds three 160-byte chunks of the controller's LCD memory,
// one page (eight pixel rows, bit 0 on top) per byte column, with a row id per chunk that names
// the page in its low four bits and the half of the page by its size.
#include "lcd/frame_assembly.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "app/panel_state.h"

namespace {

constexpr std::uint8_t RowIdPageMask = 0x0F;
// Row ids above this file into the right half; 127 already counts as the right half.
constexpr std::uint8_t LastLeftHalfRowId = 126;
constexpr int AppliedColumns = LastAppliedColumn - FirstAppliedColumn + 1;

void FileLcdChunk(const std::uint8_t* chunk, std::uint8_t row_id) {
  std::uint8_t* slot = Panel.LcdPageImage[row_id & RowIdPageMask];
  const int half_offset = row_id > LastLeftHalfRowId ? ChunkBytes : 0;
  std::memcpy(slot + half_offset, chunk, ChunkBytes);
}

void ExpandPageByte(int page, int column, std::uint8_t value) {
  for (int bit = 0; bit < 8; ++bit) {
    Panel.LcdPixelMatrix[8 * page + bit][column] = (value >> bit) & 1 ? 255 : 0;
  }
}

void MarkPageWritten(int page) { std::fill_n(Panel.LcdRowWritten + 8 * page, 8, true); }

}  // namespace

void ProcessLcdBatch(const std::uint8_t (&batch)[StreamBufferBytes]) {
  for (int sector = 0; sector < StreamSectors; ++sector) {
    const std::uint8_t* data = batch + sector * SectorBytes;
    // The key goes first, so a key message always precedes a refresh caused by the same sector.
    const std::uint8_t key = data[ExchangeKeyCodeOffset];
    if (key != 0) HandOverControllerKey(key);
    for (int chunk = 0; chunk < ChunksPerSector; ++chunk) {
      const std::uint8_t row_id = data[ChunkRowIdOffset + chunk];
      FileLcdChunk(data + chunk * ChunkBytes, row_id);
      if (row_id == FrameEndRowId) ApplyLcdFrame();
    }
  }
}

void ApplyLcdFrame() {
  bool changed = false;
  // Taken at the first change only: an unchanged frame never holds up the main thread's drawing.
  std::unique_lock<std::mutex> matrix_guard(Panel.LcdMatrixLock, std::defer_lock);
  for (int page = 0; page < AppliedPages; ++page) {
    const std::uint8_t* image = Panel.LcdPageImage[page];
    std::uint8_t* shadow = Panel.LcdPageShadow[page];
    // Most frames change a few characters at most; whole unchanged pages are skipped at once.
    if (std::memcmp(image + FirstAppliedColumn, shadow + FirstAppliedColumn, AppliedColumns) == 0) {
      continue;
    }
    if (!matrix_guard.owns_lock()) matrix_guard.lock();
    MarkPageWritten(page);
    for (int column = FirstAppliedColumn; column <= LastAppliedColumn; ++column) {
      if (image[column] == shadow[column]) continue;
      ExpandPageByte(page, column, image[column]);
      shadow[column] = image[column];
      changed = true;
    }
  }
  if (!changed) return;
  matrix_guard.unlock();
  PostMessageW(Panel.MainWindow, WM_PANEL_REFRESH, 0, 0);
  Panel.PollsSinceChange = 0;
}

void RebuildLcdMatrix() {
  std::lock_guard<std::mutex> matrix_guard(Panel.LcdMatrixLock);
  for (int page = 0; page < AppliedPages; ++page) {
    MarkPageWritten(page);
    for (int column = FirstAppliedColumn; column <= LastAppliedColumn; ++column) {
      ExpandPageByte(page, column, Panel.LcdPageShadow[page][column]);
    }
  }
}
