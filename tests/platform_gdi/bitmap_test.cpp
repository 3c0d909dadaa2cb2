// Bitmaps, DIB sections and memory contexts: layouts as GetObjectW reports them, what
// SelectObject hands back, and misuse that must fail without harm.
#include <gtest/gtest.h>

#include "tests/platform_gdi/dib_probe.h"

namespace platform::test {
namespace {

BITMAPINFO DibInfo(LONG width, LONG height, WORD bits, DWORD compression = BI_RGB) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bits;
  info.bmiHeader.biCompression = compression;
  return info;
}

struct LayoutCase {
  LONG width;
  LONG height;
  WORD bits;
  LONG stride;
};

class DibLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(DibLayout, GetObjectReportsSizeStrideDepthAndTheReturnedPixels) {
  const LayoutCase& c = GetParam();
  BITMAPINFO info = DibInfo(c.width, c.height, c.bits);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(dib, nullptr);
  BITMAP header{};
  ASSERT_EQ(GetObjectW(dib, sizeof header, &header), static_cast<int>(sizeof header));
  EXPECT_EQ(header.bmWidth, c.width);
  EXPECT_EQ(header.bmHeight, c.height < 0 ? -c.height : c.height);
  EXPECT_EQ(header.bmWidthBytes, c.stride);
  EXPECT_EQ(header.bmBitsPixel, c.bits);
  EXPECT_EQ(header.bmPlanes, 1);
  EXPECT_EQ(header.bmBits, bits);
  EXPECT_TRUE(DeleteObject(dib));
}

INSTANTIATE_TEST_SUITE_P(RowsPaddedToFourBytes, DibLayout,
                         testing::Values(LayoutCase{800, 480, 24, 2400}, LayoutCase{1, 1, 24, 4},
                                         LayoutCase{5, 3, 24, 16}, LayoutCase{6, 2, 24, 20},
                                         LayoutCase{5, -3, 24, 16}, LayoutCase{5, 3, 32, 20}));

TEST(Dib, PositiveHeightStoresTheBottomRowFirstBlueGreenRed) {
  Dib dib(3, 2, 24, true);
  // Picture pixel (1, 0), top row: stored row 1.
  dib.SetPixel(1, 0, 0x112233);
  const auto* bytes = static_cast<const std::uint8_t*>(dib.info.bmBits);
  EXPECT_EQ(bytes[dib.info.bmWidthBytes + 3], 0x33);
  EXPECT_EQ(bytes[dib.info.bmWidthBytes + 4], 0x22);
  EXPECT_EQ(bytes[dib.info.bmWidthBytes + 5], 0x11);
  EXPECT_EQ(PixelOf(dib.dc, 1, 0), 0x112233u);
}

TEST(Dib, RefusesWhatItCannotHold) {
  struct Refused {
    const char* why;
    BITMAPINFO info;
    UINT usage;
  };
  BITMAPINFO short_header = DibInfo(4, 4, 24);
  short_header.bmiHeader.biSize = 12;
  BITMAPINFO two_planes = DibInfo(4, 4, 24);
  two_planes.bmiHeader.biPlanes = 2;
  const Refused cases[] = {
      {"8 bits", DibInfo(4, 4, 8), DIB_RGB_COLORS},
      {"16 bits", DibInfo(4, 4, 16), DIB_RGB_COLORS},
      {"compressed", DibInfo(4, 4, 24, 1), DIB_RGB_COLORS},
      {"zero width", DibInfo(0, 4, 24), DIB_RGB_COLORS},
      {"negative width", DibInfo(-4, 4, 24), DIB_RGB_COLORS},
      {"zero height", DibInfo(4, 0, 24), DIB_RGB_COLORS},
      {"huge", DibInfo(100000, 100000, 24), DIB_RGB_COLORS},
      {"lowest height", DibInfo(4, -2147483647 - 1, 24), DIB_RGB_COLORS},
      {"short header", short_header, DIB_RGB_COLORS},
      {"two planes", two_planes, DIB_RGB_COLORS},
      {"palette indices", DibInfo(4, 4, 24), 1},
  };
  for (const Refused& c : cases) {
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, &c.info, c.usage, &bits, nullptr, 0), nullptr) << c.why;
    EXPECT_EQ(bits, nullptr) << c.why;
  }
  BITMAPINFO fine = DibInfo(4, 4, 24);
  int mapping;
  EXPECT_EQ(CreateDIBSection(nullptr, &fine, DIB_RGB_COLORS, nullptr, &mapping, 0), nullptr);
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
}

TEST(CompatibleBitmap, IsThirtyTwoBitWithoutAPixelPointer) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 800, 480);
  BITMAP header{};
  ASSERT_EQ(GetObjectW(bitmap, sizeof header, &header), static_cast<int>(sizeof header));
  EXPECT_EQ(header.bmWidth, 800);
  EXPECT_EQ(header.bmHeight, 480);
  EXPECT_EQ(header.bmWidthBytes, 3200);
  EXPECT_EQ(header.bmBitsPixel, 32);
  EXPECT_EQ(header.bmBits, nullptr);
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_TRUE(DeleteDC(dc));
}

TEST(CompatibleBitmap, StartsBlack) {
  DeviceBitmap device(4, 4);
  EXPECT_EQ(PixelOf(device.dc, 3, 3), 0x000000u);
}

TEST(GetObject, AnswersTheRecordSizeAndRefusesAShortBuffer) {
  Dib dib(2, 2, 24, true);
  EXPECT_EQ(GetObjectW(dib.bitmap, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
  BITMAP header{};
  EXPECT_EQ(GetObjectW(dib.bitmap, sizeof header - 1, &header), 0);
  EXPECT_EQ(GetObjectW(reinterpret_cast<HGDIOBJ>(dib.dc), sizeof header, &header), 0);
  EXPECT_EQ(GetObjectW(reinterpret_cast<HGDIOBJ>(0x1234), sizeof header, &header), 0);
}

TEST(SelectObject, HandsBackWhatItReplaced) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP first = CreateCompatibleBitmap(dc, 2, 2);
  HBITMAP second = CreateCompatibleBitmap(dc, 2, 2);
  const HGDIOBJ original = SelectObject(dc, first);
  ASSERT_NE(original, nullptr);
  EXPECT_EQ(SelectObject(dc, second), first);
  EXPECT_EQ(SelectObject(dc, original), second);
  // With the original back, the context draws nothing.
  EXPECT_EQ(PixelOf(dc, 0, 0), std::nullopt);
  LOGFONTW logfont{};
  logfont.lfHeight = 20;
  HFONT font = CreateFontIndirectW(&logfont);
  const HGDIOBJ original_font = SelectObject(dc, font);
  ASSERT_NE(original_font, nullptr);
  EXPECT_FALSE(DeleteObject(font)) << "a selected font stays";
  EXPECT_EQ(SelectObject(dc, original_font), font);
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_TRUE(DeleteObject(first));
  EXPECT_TRUE(DeleteObject(second));
  EXPECT_TRUE(DeleteDC(dc));
}

TEST(SelectObject, ABitmapLivesInOneContextAtATime) {
  DeviceBitmap holder(2, 2);
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, holder.bitmap), nullptr);
  EXPECT_EQ(SelectObject(holder.dc, holder.bitmap), holder.bitmap);
  EXPECT_TRUE(DeleteDC(other));
}

TEST(Misuse, DeletingASelectedBitmapFailsAndItKeepsWorking) {
  DeviceBitmap device(2, 2);
  EXPECT_FALSE(DeleteObject(device.bitmap));
  EXPECT_EQ(PixelOf(device.dc, 1, 1), 0x000000u);
}

TEST(Misuse, ABitmapDeselectedAndDeletedDrawsNothing) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 2, 2);
  const HGDIOBJ original = SelectObject(dc, bitmap);
  SelectObject(dc, original);
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_FALSE(DeleteObject(bitmap)) << "double delete";
  EXPECT_EQ(SelectObject(dc, bitmap), nullptr) << "a deleted bitmap cannot come back";
  EXPECT_EQ(PixelOf(dc, 0, 0), std::nullopt);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc)) << "double delete";
}

TEST(Misuse, DeletingAContextReleasesItsBitmap) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 2, 2);
  SelectObject(dc, bitmap);
  EXPECT_TRUE(DeleteDC(dc));
  HDC next = CreateCompatibleDC(nullptr);
  EXPECT_NE(SelectObject(next, bitmap), nullptr);
  EXPECT_EQ(PixelOf(next, 0, 0), 0x000000u);
  DeleteDC(next);
  EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(Misuse, UnknownHandlesAndNegativeSizesFail) {
  const auto unknown_dc = reinterpret_cast<HDC>(0x7777);
  const auto unknown_object = reinterpret_cast<HGDIOBJ>(0x7777);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(CreateCompatibleDC(unknown_dc), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(unknown_dc, 2, 2), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, 2, 2), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(dc, -1, 2), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(dc, 2, -1), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(dc, 1 << 20, 1 << 20), nullptr);
  EXPECT_EQ(SelectObject(unknown_dc, unknown_object), nullptr);
  EXPECT_EQ(SelectObject(dc, unknown_object), nullptr);
  EXPECT_EQ(SelectObject(dc, nullptr), nullptr);
  EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(dc)), nullptr) << "a context is no object";
  EXPECT_FALSE(DeleteObject(unknown_object));
  EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(dc)));
  EXPECT_FALSE(DeleteDC(unknown_dc));
  EXPECT_EQ(SetBkColor(unknown_dc, 0), 0xFFFFFFFFu);
  EXPECT_EQ(SetTextColor(unknown_dc, 0), 0xFFFFFFFFu);
  EXPECT_EQ(SetBkMode(unknown_dc, OPAQUE), 0);
  EXPECT_EQ(SetBkMode(dc, 7), 0);
  EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
  EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x7776)), nullptr);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 0) << "a memory context is not released";
  EXPECT_TRUE(DeleteDC(dc));
}

TEST(StockObjects, SelectAndDeleteHarmlessly) {
  HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ black_brush = GetStockObject(BLACK_BRUSH);
  ASSERT_NE(black_brush, nullptr);
  const HGDIOBJ brush = SelectObject(dc, black_brush);
  EXPECT_NE(brush, nullptr);
  EXPECT_EQ(SelectObject(dc, brush), black_brush);
  EXPECT_TRUE(DeleteObject(black_brush));
  EXPECT_EQ(SelectObject(dc, black_brush), brush) << "still there after a delete";
  DeleteDC(dc);
}

TEST(Colours, SettersHandBackThePreviousValue) {
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SetBkColor(dc, RGB(1, 2, 3)), RGB(255, 255, 255)) << "white by default";
  EXPECT_EQ(SetBkColor(dc, 0), RGB(1, 2, 3));
  EXPECT_EQ(SetTextColor(dc, RGB(9, 8, 7)), RGB(0, 0, 0)) << "black by default";
  EXPECT_EQ(SetTextColor(dc, 0), RGB(9, 8, 7));
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE) << "opaque by default";
  EXPECT_EQ(SetBkMode(dc, OPAQUE), TRANSPARENT);
  DeleteDC(dc);
}

}  // namespace
}  // namespace platform::test
