// BMP files from outside, through both picture loaders: the storage card's (SHLoadDIBitmap, from a
// file on the card) and the resources' (LoadBitmapW). Whatever the bytes, each loader gives a
// well-formed bitmap or nothing, never reads outside the file, and both give a picture of the same
// size; every pixel of the card's picture can be read back. A run-length file of a few dozen bytes
// may describe a picture of sixteen million pixels, whose decoding is nothing but filling and
// copying 64 MB; the fuzzer refuses pictures above 65,536 pixels, which already take every path of
// the decoders, and the unit tests decode the largest picture the loaders take.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/resources.h"

namespace {

constexpr UINT PictureId = 188;
constexpr std::int64_t LargestFuzzedPixels = std::int64_t{1} << 16;
std::string card_picture;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "bmp_fuzz: %s\n", what);
  std::abort();
}

// The bitmap's header, checked; a zero header for no bitmap.
BITMAP HeaderOf(HBITMAP bitmap) {
  BITMAP header{};
  if (!bitmap) return header;
  if (GetObjectW(bitmap, sizeof header, &header) != sizeof header || header.bmBitsPixel != 32 ||
      header.bmWidth <= 0 || header.bmHeight <= 0 || header.bmWidthBytes != header.bmWidth * 4) {
    Fail("a decoded bitmap is not well formed");
  }
  return header;
}

void Delete(HBITMAP bitmap) {
  if (bitmap && !DeleteObject(bitmap)) Fail("a decoded bitmap cannot be deleted");
}

// Copies every pixel of the picture into a 24-bit DIB section, as a screen paint would.
void ReadBack(HBITMAP bitmap, const BITMAP* header) {
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, bitmap);
  BITMAPINFO info{};
  info.bmiHeader = {
      sizeof(BITMAPINFOHEADER), header->bmWidth, header->bmHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP copy = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC copy_dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ original = SelectObject(copy_dc, copy);
  if (!BitBlt(copy_dc, 0, 0, header->bmWidth, header->bmHeight, dc, 0, 0, SRCCOPY)) {
    Fail("a decoded bitmap cannot be read back");
  }
  SelectObject(copy_dc, original);
  DeleteDC(copy_dc);
  DeleteObject(copy);
  DeleteDC(dc);
}

std::uint32_t ReadLittleEndian(const std::uint8_t* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

// The width times the height the headers give, whichever header it is; 0 for a file too short.
std::int64_t DeclaredPixels(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t HeaderSizeAt = 14, WidthAt = 18;
  if (size < WidthAt + 8) return 0;
  if (ReadLittleEndian(data + HeaderSizeAt, 4) == 12) {
    return std::int64_t{ReadLittleEndian(data + WidthAt, 2)} *
           ReadLittleEndian(data + WidthAt + 2, 2);
  }
  const std::int64_t width = static_cast<std::int32_t>(ReadLittleEndian(data + WidthAt, 4));
  const std::int64_t height = static_cast<std::int32_t>(ReadLittleEndian(data + WidthAt + 4, 4));
  return std::llabs(width) * std::llabs(height);
}

void PutOnCard(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(card_picture.c_str(), "wb");
  if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
    Fail("the card is not writable");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The card in memory where the host has a RAM file system: every input is a file on it.
  static char card[] = "/dev/shm/quelt-bmp-fuzz-XXXXXX";
  if (mkdtemp(card) == nullptr) {
    static char fallback[] = "/tmp/quelt-bmp-fuzz-XXXXXX";
    if (mkdtemp(fallback) == nullptr) std::abort();
    std::copy(fallback, fallback + sizeof fallback, card);
  }
  std::atexit([] { std::filesystem::remove_all(card); });
  setenv("QUELT_STORAGE_CARD", card, 1);
  card_picture = std::string(card) + "/QUELTIMAGE.bmp";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Refused inputs stay out of the corpus.
  if (DeclaredPixels(data, size) > LargestFuzzedPixels) return -1;
  PutOnCard(data, size);
  const HBITMAP from_card = SHLoadDIBitmap(u"\\Storage Card\\QUELTIMAGE.bmp");
  const BITMAP card_header = HeaderOf(from_card);
  const ResourceBlob blob = {PictureId, data, size};
  const ResourceTable table = {&blob, 1, nullptr, 0, nullptr, 0, nullptr, 0};
  SetResourceTable(&table);
  const HBITMAP from_resources = LoadBitmapW(nullptr, MAKEINTRESOURCEW(PictureId));
  SetResourceTable(nullptr);
  const BITMAP resource_header = HeaderOf(from_resources);
  if (card_header.bmWidth != resource_header.bmWidth ||
      card_header.bmHeight != resource_header.bmHeight) {
    Fail("the two loaders give pictures of different sizes");
  }
  if (from_card) ReadBack(from_card, &card_header);
  Delete(from_card);
  Delete(from_resources);
  return 0;
}
