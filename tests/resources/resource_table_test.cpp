// The resource table the program installs: every picture with its size, depth and file layout,
// the two strings, accelerator table 2 and icon group 101.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "decoded_bitmap.h"
#include "resources/panel_resources.h"

namespace {

struct PictureFormat {
  UINT id;
  int width;
  int height;
  int bits_per_pixel;
};

const PictureFormat PictureFormats[] = {
    {188, 800, 480, 24}, {190, 64, 12, 24}, {191, 64, 12, 24}, {192, 64, 12, 24},
    {194, 64, 12, 24},   {210, 73, 42, 24}, {211, 52, 29, 24}, {212, 72, 28, 24},
    {213, 800, 480, 24}, {214, 46, 10, 4},
};

std::u16string TextOf(UINT id) {
  const ResourceTable& table = PanelResources();
  for (std::size_t i = 0; i < table.string_count; ++i) {
    if (table.strings[i].id == id) return table.strings[i].text;
  }
  return u"<missing>";
}

TEST(ResourceTable, HoldsEachPictureOnce) {
  const ResourceTable& table = PanelResources();
  ASSERT_EQ(table.bitmap_count, std::size(PictureFormats));
  for (const PictureFormat& format : PictureFormats) {
    int found = 0;
    for (std::size_t i = 0; i < table.bitmap_count; ++i) found += table.bitmaps[i].id == format.id;
    EXPECT_EQ(found, 1) << "bitmap " << format.id;
  }
}

TEST(ResourceTable, EveryPictureIsAnUncompressedBottomUpBmpOfItsSizeAndDepth) {
  for (const PictureFormat& format : PictureFormats) {
    SCOPED_TRACE("bitmap " + std::to_string(format.id));
    const ResourceBlob* blob = FindBitmap(format.id);
    ASSERT_NE(blob, nullptr);
    ASSERT_GE(blob->size, 54u);
    EXPECT_EQ(blob->data[0], 'B');
    EXPECT_EQ(blob->data[1], 'M');
    EXPECT_EQ(FileU32(*blob, 2), blob->size);                         // file size
    EXPECT_EQ(FileU32(*blob, 14), 40u);                               // BITMAPINFOHEADER
    EXPECT_EQ(FileU32(*blob, 18), static_cast<DWORD>(format.width));  // width
    // A positive height: rows stored bottom-up.
    EXPECT_EQ(FileU32(*blob, 22), static_cast<DWORD>(format.height));
    EXPECT_EQ(FileU16(*blob, 26), 1u);  // planes
    EXPECT_EQ(FileU16(*blob, 28), static_cast<DWORD>(format.bits_per_pixel));
    EXPECT_EQ(FileU32(*blob, 30), 0u);  // BI_RGB
    const std::uint32_t palette_bytes = format.bits_per_pixel == 4 ? 16 * 4 : 0;
    if (format.bits_per_pixel == 4) {
      EXPECT_EQ(FileU32(*blob, 46), 16u);  // colours used: the whole palette
    }
    const std::uint32_t stride = (format.width * format.bits_per_pixel + 31) / 32 * 4;
    EXPECT_EQ(FileU32(*blob, 10), 54 + palette_bytes);  // where the rows begin
    EXPECT_EQ(blob->size, 54 + palette_bytes + stride * format.height);

    const DecodedBitmap decoded = DecodeBmp(blob->data, blob->size);
    ASSERT_TRUE(decoded.loaded);
    EXPECT_EQ(decoded.width, format.width);
    EXPECT_EQ(decoded.height, format.height);
  }
}

TEST(ResourceTable, TitleAndClassNameAreQueltVer120) {
  EXPECT_EQ(TextOf(1), u"QUELT_VER120");
  EXPECT_EQ(TextOf(2), u"QUELT_VER120");
  EXPECT_EQ(PanelResources().string_count, 2u);
}

TEST(ResourceTable, AcceleratorTable2MapsCtrlAAndCtrlQ) {
  const ResourceTable& table = PanelResources();
  ASSERT_EQ(table.accelerator_count, 1u);
  const ResourceAccelerators& accelerators = table.accelerators[0];
  EXPECT_EQ(accelerators.id, 2u);
  ASSERT_EQ(accelerators.count, 2u);
  const ACCEL& ctrl_a = accelerators.entries[0];
  EXPECT_EQ(ctrl_a.fVirt, FVIRTKEY | FCONTROL);
  EXPECT_EQ(ctrl_a.key, 'A');
  EXPECT_EQ(ctrl_a.cmd, 40002);
  const ACCEL& ctrl_q = accelerators.entries[1];
  EXPECT_EQ(ctrl_q.fVirt, FVIRTKEY | FCONTROL);
  EXPECT_EQ(ctrl_q.key, 'Q');
  EXPECT_EQ(ctrl_q.cmd, 1);
}

// An .ico file: a 6-byte directory header, 16-byte entries, then each image as a
// BITMAPINFOHEADER of double height with its colour rows and mask.
TEST(ResourceTable, IconGroup101Holds32And16PixelImages) {
  ASSERT_EQ(PanelResources().icon_count, 1u);
  const ResourceBlob* icon = FindIcon(101);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(FileU16(*icon, 0), 0u);
  EXPECT_EQ(FileU16(*icon, 2), 1u);  // an icon
  ASSERT_EQ(FileU16(*icon, 4), 2u);
  const int sizes[] = {32, 16};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE("image " + std::to_string(i));
    const std::size_t entry = 6 + 16 * i;
    EXPECT_EQ(icon->data[entry], sizes[i]);
    EXPECT_EQ(icon->data[entry + 1], sizes[i]);
    EXPECT_EQ(FileU16(*icon, entry + 6), 32u);  // bits per pixel
    const std::uint32_t bytes = FileU32(*icon, entry + 8);
    const std::uint32_t offset = FileU32(*icon, entry + 12);
    ASSERT_LE(offset + bytes, icon->size);
    const std::uint32_t mask_stride = (sizes[i] + 31) / 32 * 4;
    EXPECT_EQ(bytes, 40 + sizes[i] * sizes[i] * 4 + mask_stride * sizes[i]);
    EXPECT_EQ(FileU32(*icon, offset), 40u);
    EXPECT_EQ(FileU32(*icon, offset + 4), static_cast<DWORD>(sizes[i]));
    EXPECT_EQ(FileU32(*icon, offset + 8), static_cast<DWORD>(2 * sizes[i]));
  }
}

}  // namespace
