// Filing streamed LCD chunks into pages.
#include "sim/lcd_stream.h"

#include <cstring>

#include "sim/controller.h"

namespace sim {

void FileLcdSector(LcdStream* stream, const std::uint8_t* sector) {
  for (int chunk = 0; chunk < ChunksPerSector; ++chunk) {
    const std::uint8_t row_id = sector[RowIdOffset + chunk];
    const int half = row_id > 126 ? ChunkBytes : 0;
    std::memcpy(&stream->pages[row_id & 0x0F][half], sector + chunk * ChunkBytes, ChunkBytes);
    if (row_id == FrameEndRowId) {
      std::memcpy(stream->last_frame.pages, stream->pages, sizeof stream->last_frame.pages);
      ++stream->frames;
    }
  }
}

}  // namespace sim
