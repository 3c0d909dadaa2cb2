// Pictures: every BMP depth and encoding decoded into a 32-bit device bitmap, from the resource
// table (LoadBitmapW) and from the storage card (SHLoadDIBitmap); broken files refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/resources.h"
#include "tests/platform_gdi/bmp_file.h"
#include "tests/platform_gdi/dib_probe.h"

namespace platform::test {
namespace {

constexpr int kWidth = 9;
constexpr int kHeight = 3;

// Runs of one index on the left (for the encoded runs), varied ones on the right (absolute mode).
std::uint32_t IndexAt(int x, int y, int colours) {
  return static_cast<std::uint32_t>((x < 4 ? y : x * 5 + y * 3) % colours);
}

std::vector<std::uint32_t> Palette(int colours) {
  std::vector<std::uint32_t> palette;
  for (int i = 0; i < colours; ++i) {
    palette.push_back(static_cast<std::uint32_t>((i * 37) % 256) << 16 |
                      static_cast<std::uint32_t>((255 - i) % 256) << 8 |
                      static_cast<std::uint32_t>((i * 11 + 5) % 256));
  }
  return palette;
}

// Colours that survive 16-bit storage exactly: every channel 0 or 255.
std::uint32_t DirectColour(int x, int y, int bits) {
  if (bits == 16) return ((x & 1) ? 0xFF0000 : 0) | ((y & 1) ? 0x00FF00 : 0) | (x > 4 ? 0xFF : 0);
  return static_cast<std::uint32_t>(x * 25) << 16 | static_cast<std::uint32_t>(y * 80) << 8 |
         static_cast<std::uint32_t>(200 - x);
}

struct Picture {
  const char* name;
  BmpLayout layout;
  std::function<std::uint32_t(int, int)> expected;
};

Picture Paletted(const char* name, int bits, int colours, std::uint32_t compression) {
  const std::vector<std::uint32_t> palette = Palette(colours);
  const PixelValue index = [colours](int x, int y) { return IndexAt(x, y, colours); };
  BmpLayout layout;
  layout.width = kWidth;
  layout.height = kHeight;
  layout.bits = bits;
  layout.compression = compression;
  layout.palette = palette;
  layout.pixels = compression == kBmpRgb ? StoredRows(kWidth, kHeight, bits, index)
                                         : RunLengthStream(kWidth, kHeight, bits, index);
  return {name, layout, [=](int x, int y) { return palette[index(x, y)]; }};
}

Picture Direct(const char* name, int bits, int height, std::uint32_t header_size = 40) {
  const PixelValue colour = [bits](int x, int y) { return DirectColour(x, y, bits); };
  BmpLayout layout;
  layout.width = kWidth;
  layout.height = height;
  layout.bits = bits;
  layout.header_size = header_size;
  layout.pixels = StoredRows(kWidth, height, bits, colour);
  return {name, layout, colour};
}

std::vector<Picture> EveryKind() {
  return {Paletted("1 bit", 1, 2, kBmpRgb),
          Paletted("4 bits", 4, 16, kBmpRgb),
          Paletted("4 bits, 6 colours", 4, 6, kBmpRgb),
          Paletted("8 bits", 8, 256, kBmpRgb),
          Paletted("8 bits, 20 colours", 8, 20, kBmpRgb),
          Paletted("4-bit RLE", 4, 16, kBmpRle4),
          Paletted("8-bit RLE", 8, 40, kBmpRle8),
          Direct("16 bits", 16, kHeight),
          Direct("24 bits", 24, kHeight),
          Direct("24 bits top-down", 24, -kHeight),
          Direct("24 bits, OS/2 header", 24, kHeight, 12),
          Direct("32 bits", 32, kHeight)};
}

void ExpectPicture(HBITMAP bitmap, const Picture& picture) {
  ASSERT_NE(bitmap, nullptr) << picture.name;
  BITMAP header{};
  ASSERT_EQ(GetObjectW(bitmap, sizeof header, &header), static_cast<int>(sizeof header));
  EXPECT_EQ(header.bmWidth, kWidth) << picture.name;
  EXPECT_EQ(header.bmHeight, kHeight) << picture.name;
  EXPECT_EQ(header.bmBitsPixel, 32) << picture.name << ": a device bitmap";
  HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ previous = SelectObject(dc, bitmap);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      EXPECT_EQ(PixelOf(dc, x, y), picture.expected(x, y))
          << picture.name << ", pixel " << x << "," << y;
    }
  }
  SelectObject(dc, previous);
  DeleteDC(dc);
  EXPECT_TRUE(DeleteObject(bitmap));
}

class ResourceBitmaps : public testing::Test {
 protected:
  void TearDown() override { SetResourceTable(nullptr); }

  HBITMAP Load(const std::vector<std::uint8_t>& file, UINT id = 188) {
    blob_ = ResourceBlob{id, file.data(), file.size()};
    table_ = ResourceTable{&blob_, 1, nullptr, 0, nullptr, 0, nullptr, 0};
    SetResourceTable(&table_);
    return LoadBitmapW(nullptr, MAKEINTRESOURCEW(188));
  }

 private:
  ResourceBlob blob_{};
  ResourceTable table_{};
};

TEST_F(ResourceBitmaps, EveryDepthAndEncodingDecodes) {
  for (const Picture& picture : EveryKind()) {
    const std::vector<std::uint8_t> file = BmpFile(picture.layout);
    ExpectPicture(Load(file), picture);
  }
}

TEST_F(ResourceBitmaps, MissingOrNamedResourcesGiveNothing) {
  const std::vector<std::uint8_t> file = BmpFile(EveryKind()[8].layout);
  EXPECT_EQ(Load(file, 190), nullptr);
  EXPECT_EQ(LoadBitmapW(nullptr, u"PANEL"), nullptr);
  SetResourceTable(nullptr);
  EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(188)), nullptr);
}

void Put32At(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) file.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

TEST_F(ResourceBitmaps, BrokenFilesAreRefused) {
  const std::vector<std::uint8_t> good = BmpFile(Direct("24", 24, kHeight).layout);
  const std::vector<std::uint8_t> rle = BmpFile(Paletted("rle", 8, 40, kBmpRle8).layout);
  struct Broken {
    const char* what;
    std::vector<std::uint8_t> file;
  };
  std::vector<Broken> cases;
  const auto with = [&](const char* what, std::vector<std::uint8_t> file, auto change) {
    change(file);
    cases.push_back({what, file});
  };
  const auto same = [](std::vector<std::uint8_t>&) {};
  with("empty", {}, same);
  with("signature only", {'B', 'M'}, same);
  with("not BM", good, [](auto& f) { f[0] = 'P'; });
  with("last pixel byte missing", good, [](auto& f) { f.pop_back(); });
  with("headers only", good, [](auto& f) { f.resize(54); });
  with("unknown header size", good, [](auto& f) { Put32At(f, 14, 41); });
  with("header past the end", good, [](auto& f) { Put32At(f, 14, 124); });
  with("zero width", good, [](auto& f) { Put32At(f, 18, 0); });
  with("negative width", good, [](auto& f) { Put32At(f, 18, 0xFFFFFFF7); });
  with("zero height", good, [](auto& f) { Put32At(f, 22, 0); });
  with("lowest height", good, [](auto& f) { Put32At(f, 22, 0x80000000); });
  with("huge", good, [](auto& f) {
    Put32At(f, 18, 60000);
    Put32At(f, 22, 60000);
  });
  with("two planes", good, [](auto& f) { f[26] = 2; });
  with("7 bits", good, [](auto& f) { f[28] = 7; });
  with("JPEG inside", good, [](auto& f) { Put32At(f, 30, 4); });
  with("RLE8 on 24 bits", good, [](auto& f) { Put32At(f, 30, 1); });
  with("pixels before the header ends", good, [](auto& f) { Put32At(f, 10, 20); });
  with("pixels past the end", good, [](auto& f) { Put32At(f, 10, 0x7FFFFFF0); });
  with("too many colours", rle, [](auto& f) { Put32At(f, 46, 300); });
  with("palette past the end", rle, [](auto& f) { f.resize(54 + 40); });
  with("RLE top-down", rle, [](auto& f) { Put32At(f, 22, static_cast<std::uint32_t>(-kHeight)); });
  for (const Broken& broken : cases) {
    EXPECT_EQ(Load(broken.file), nullptr) << broken.what;
  }
}

// A run-length file of a few dozen bytes can describe a picture of any size: sixteen million
// pixels (4096 x 4096) are taken, a row more is refused before anything is allocated.
TEST_F(ResourceBitmaps, TheLargestPictureLoadsAndARowMoreIsRefused) {
  BmpLayout layout;
  layout.width = 4096;
  layout.bits = 8;
  layout.compression = kBmpRle8;
  layout.palette = Palette(2);
  layout.pixels = {0, 1};  // the end of the picture, at once
  for (const int height : {4096, 4097}) {
    layout.height = height;
    const HBITMAP bitmap = Load(BmpFile(layout));
    if (height == 4097) {
      EXPECT_EQ(bitmap, nullptr);
      continue;
    }
    ASSERT_NE(bitmap, nullptr);
    BITMAP header{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof header, &header), static_cast<int>(sizeof header));
    EXPECT_EQ(header.bmWidth, 4096);
    EXPECT_EQ(header.bmHeight, 4096);
    EXPECT_TRUE(DeleteObject(bitmap));
  }
}

TEST_F(ResourceBitmaps, RunLengthStreamsThatOverrunThePictureOrStopShortDoNotCrash) {
  const Picture picture = Paletted("rle", 8, 40, kBmpRle8);
  const std::vector<std::uint8_t> good = BmpFile(picture.layout);
  const std::size_t pixels = good.size() - picture.layout.pixels.size();
  // A run far longer than a row, a delta far outside, an absolute run past the end of the file,
  // and a stream cut short at every length.
  const std::vector<std::vector<std::uint8_t>> streams = {
      {255, 1, 255, 1, 255, 1, 0, 1},
      {0, 2, 200, 200, 5, 1, 0, 1},
      {0, 255, 1, 2, 3},
  };
  for (const auto& stream : streams) {
    std::vector<std::uint8_t> file(good.begin(), good.begin() + pixels);
    file.insert(file.end(), stream.begin(), stream.end());
    const HBITMAP bitmap = Load(file);
    if (bitmap) DeleteObject(bitmap);
  }
  for (std::size_t cut = pixels + 1; cut < good.size(); ++cut) {
    const HBITMAP bitmap = Load(std::vector<std::uint8_t>(good.begin(), good.begin() + cut));
    if (bitmap) DeleteObject(bitmap);
  }
}

class StorageCardBitmaps : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quelt-card-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    card_ = pattern;
    setenv("QUELT_STORAGE_CARD", card_.c_str(), 1);
  }
  void TearDown() override {
    std::remove((card_ + "/QUELTIMAGE.bmp").c_str());
    rmdir(card_.c_str());
    unsetenv("QUELT_STORAGE_CARD");
  }
  void Write(const std::vector<std::uint8_t>& contents) {
    std::FILE* file = std::fopen((card_ + "/QUELTIMAGE.bmp").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(contents.data(), 1, contents.size(), file);
    std::fclose(file);
  }

  std::string card_;
};

TEST_F(StorageCardBitmaps, LoadsAPictureFromTheCard) {
  const Picture picture = Direct("24 bits", 24, kHeight);
  Write(BmpFile(picture.layout));
  ExpectPicture(SHLoadDIBitmap(u"\\Storage Card\\QUELTIMAGE.bmp"), picture);
}

TEST_F(StorageCardBitmaps, MissingBrokenOrOffCardFilesGiveNothing) {
  EXPECT_EQ(SHLoadDIBitmap(u"\\Storage Card\\QUELTIMAGE.bmp"), nullptr) << "missing";
  std::vector<std::uint8_t> truncated = BmpFile(Direct("24 bits", 24, kHeight).layout);
  truncated.resize(truncated.size() - 5);
  Write(truncated);
  EXPECT_EQ(SHLoadDIBitmap(u"\\Storage Card\\QUELTIMAGE.bmp"), nullptr) << "truncated";
  EXPECT_EQ(SHLoadDIBitmap(u"\\Windows\\QUELTIMAGE.bmp"), nullptr) << "not on the card";
  EXPECT_EQ(SHLoadDIBitmap(nullptr), nullptr);
}

}  // namespace
}  // namespace platform::test
