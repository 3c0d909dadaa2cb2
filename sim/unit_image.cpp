#include "sim/unit_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sim/controller.h"

namespace sim {
namespace {

constexpr std::uint32_t FirstImageSector = ExchangeSector + 1;
constexpr int ImageChunks = (ExchangeSectors - 1) * ChunksPerSector;
constexpr std::uint8_t FillerRowId = 0x0F;  // page 15: never displayed
constexpr std::uint8_t RightHalfRowId = 0x80;

bool HalfIsDark(const LcdImage& frame, int page, bool right) {
  const std::uint8_t* half = &frame.pages[page][right ? ChunkBytes : 0];
  return std::all_of(half, half + ChunkBytes, [](std::uint8_t byte) { return byte == 0; });
}

}  // namespace

bool WriteUnitImage(const std::string& path, const std::uint8_t* signature_sector,
                    const LcdImage& frame, std::string* error) {
  // The halves that carry something, then the frame end, which is sent even when dark.
  std::vector<std::uint8_t> row_ids;
  for (int page = 0; page < LcdPages; ++page) {
    for (const bool right : {false, true}) {
      const bool frame_end = page == LcdPages - 1 && right;
      if (!frame_end && !HalfIsDark(frame, page, right)) {
        row_ids.push_back(static_cast<std::uint8_t>(page | (right ? RightHalfRowId : 0)));
      }
    }
  }
  row_ids.push_back(FrameEndRowId);
  if (row_ids.size() > ImageChunks) {
    *error = "the LCD lights " + std::to_string(row_ids.size()) + " half pages; an image holds " +
             std::to_string(ImageChunks) + ": show less on it first (for example press=POWER)";
    return false;
  }
  // Fillers first, so that the frame end comes last in every read.
  row_ids.insert(row_ids.begin(), ImageChunks - row_ids.size(), FillerRowId);

  std::vector<std::uint8_t> image(ControllerSectors * SectorBytes, 0);
  std::memcpy(&image[ProbeSector * SectorBytes], signature_sector, SectorBytes);
  for (int chunk = 0; chunk < ImageChunks; ++chunk) {
    std::uint8_t* sector =
        &image[(FirstImageSector + chunk / ChunksPerSector) * std::size_t{SectorBytes}];
    const std::uint8_t row_id = row_ids[chunk];
    if (row_id != FillerRowId) {
      const int page = row_id & 0x0F;
      const int half = row_id & RightHalfRowId ? ChunkBytes : 0;
      std::memcpy(sector + (chunk % ChunksPerSector) * ChunkBytes, &frame.pages[page][half],
                  ChunkBytes);
    }
    sector[RowIdOffset + chunk % ChunksPerSector] = row_id;
  }
  image[FirstImageSector * SectorBytes + KeyByteOffset] = ShowPanelKey;

  std::FILE* out = std::fopen(path.c_str(), "wb");
  const bool written = out && std::fwrite(image.data(), 1, image.size(), out) == image.size();
  if ((out && std::fclose(out) != 0) || !written) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace sim
