// Pictures from the program's resources (LoadBitmapW) and from the storage card
// (SHLoadDIBitmap), decoded into device bitmaps.
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/bmp_decoding.h"
#include "platform/internal/module_interfaces.h"

namespace platform {
namespace {

struct CloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The whole file, or false when it cannot be read or is larger than any picture we accept.
bool ReadSmallFile(std::FILE* opened, std::vector<std::uint8_t>* contents) {
  std::unique_ptr<std::FILE, CloseFile> file(opened);
  if (!file) return false;
  // Room for the whole file at once: growing the buffer block by block copies a background
  // picture of a megabyte over and over at start-up.
  struct stat info;
  if (fstat(fileno(file.get()), &info) == 0 && info.st_size > 0 &&
      static_cast<std::uint64_t>(info.st_size) <= gdi::kLargestBmpFile) {
    contents->reserve(static_cast<std::size_t>(info.st_size));
  }
  std::uint8_t block[65536];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) {
    if (contents->size() + got > gdi::kLargestBmpFile) return false;
    contents->insert(contents->end(), block, block + got);
  }
  return !std::ferror(file.get());
}

}  // namespace
}  // namespace platform

using namespace platform;

HBITMAP LoadBitmapW(HINSTANCE, LPCWSTR name) {
  // Bitmaps are numbered resources; there are no named ones.
  const ResourceTable* table = CurrentResourceTable();
  if (!table || !IS_INTRESOURCE(name)) return nullptr;
  const UINT id = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name));
  for (std::size_t i = 0; i < table->bitmap_count; ++i) {
    const ResourceBlob& blob = table->bitmaps[i];
    if (blob.id == id) return gdi::BitmapFromBmp(blob.data, blob.size);
  }
  return nullptr;
}

HBITMAP SHLoadDIBitmap(LPCWSTR path) {
  // Through StorageFileOpen, so that a link, FIFO or device in the picture's place counts as
  // missing instead of being followed or blocking the start.
  std::vector<std::uint8_t> contents;
  if (!path || !ReadSmallFile(StorageFileOpen(Utf8FromWide(path).c_str(), "rb"), &contents)) {
    return nullptr;
  }
  return gdi::BitmapFromBmp(contents.data(), contents.size());
}
