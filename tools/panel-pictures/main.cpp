// panel-pictures: draws the panel's pictures and writes them as the files that resources/ holds.
//
//   panel-pictures OUTPUT_FOLDER
//
// writes 188.bmp, 190.bmp ... 214.bmp, 101.ico and storage-card/QUELTIMAGE.bmp into the folder.
// The output depends only on this program, the font file and FreeType's rasteriser, so running it
// again with the same font and FreeType reproduces the committed files byte for byte (they were
// drawn with Debian 12's fonts-liberation 1.07 and FreeType 2.12). Start reading at main.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bmp_file.h"
#include "ico_file.h"
#include "pictures.h"

namespace {

struct OutputFile {
  std::string name;  // relative to the output folder
  Bytes bytes;
};

bool DrawAll(CaptionFont& font, std::vector<OutputFile>* files, std::string* error) {
  const std::optional<Image> panel = DrawPanelPicture(font, true, error);
  if (!panel) return false;
  const std::optional<Image> plain_panel = DrawPanelPicture(font, false, error);
  if (!plain_panel) return false;
  const PalettePicture link = DrawLinkIndicator(font);
  *files = {
      {"188.bmp", EncodeBmp24(*panel)},
      {"190.bmp", EncodeBmp24(DrawButtonSprite(190))},
      {"191.bmp", EncodeBmp24(DrawButtonSprite(191))},
      {"192.bmp", EncodeBmp24(DrawButtonSprite(192))},
      {"194.bmp", EncodeBmp24(DrawButtonSprite(194))},
      {"210.bmp", EncodeBmp24(DrawLogo(font))},
      {"211.bmp", EncodeBmp24(DrawAuxIndicator(font))},
      {"212.bmp", EncodeBmp24(DrawUsbIndicator(font))},
      {"213.bmp", EncodeBmp24(*plain_panel)},
      {"214.bmp", EncodeBmp4(link.width, link.height, link.indices, link.palette)},
      {"101.ico", EncodeIco(DrawIcon(font))},
      {"storage-card/QUELTIMAGE.bmp", EncodeBmp24(DrawCompactBackground())},
  };
  for (const OutputFile& file : *files) {
    if (file.bytes.empty()) {
      *error = "could not encode " + file.name;
      return false;
    }
  }
  return true;
}

bool WriteAll(const std::filesystem::path& folder, const std::vector<OutputFile>& files,
              std::string* error) {
  for (const OutputFile& file : files) {
    const std::filesystem::path path = folder / file.name;
    std::error_code failure;
    std::filesystem::create_directories(path.parent_path(), failure);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.bytes.data()),
              static_cast<std::streamsize>(file.bytes.size()));
    out.close();
    if (!out) {
      *error = "could not write " + path.string();
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  std::string error;
  CaptionFont font;
  std::vector<OutputFile> files;
  if (!OpenCaptionFont(&font, &error) || !DrawAll(font, &files, &error) ||
      !WriteAll(argv[1], files, &error)) {
    std::fprintf(stderr, "panel-pictures: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
