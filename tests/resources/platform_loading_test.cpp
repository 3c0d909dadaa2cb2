// The pictures, strings, icon and accelerators as the program loads them: through the platform's
// own calls, with the panel's resource table installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/resources.h"
#include "platform/win32.h"
#include "resources/panel_resources.h"

namespace {

class PlatformLoading : public testing::Test {
 protected:
  void SetUp() override { SetResourceTable(&PanelResources()); }
  void TearDown() override { SetResourceTable(nullptr); }
};

TEST_F(PlatformLoading, EveryPictureLoadsAtItsSize) {
  struct Size {
    UINT id;
    LONG width;
    LONG height;
  };
  const Size sizes[] = {{188, 800, 480}, {190, 64, 12}, {191, 64, 12}, {192, 64, 12},
                        {194, 64, 12},   {210, 73, 42}, {211, 52, 29}, {212, 72, 28},
                        {213, 800, 480}, {214, 46, 10}};
  for (const Size& size : sizes) {
    SCOPED_TRACE("bitmap " + std::to_string(size.id));
    HBITMAP bitmap = LoadBitmapW(nullptr, MAKEINTRESOURCEW(size.id));
    ASSERT_NE(bitmap, nullptr);
    BITMAP header = {};
    ASSERT_NE(GetObjectW(bitmap, sizeof header, &header), 0);
    EXPECT_EQ(header.bmWidth, size.width);
    EXPECT_EQ(header.bmHeight, size.height);
    DeleteObject(bitmap);
  }
}

TEST_F(PlatformLoading, StringsIconAndAcceleratorsLoad) {
  WCHAR text[100] = {};
  EXPECT_EQ(LoadStringW(nullptr, 1, text, 100), 12);
  EXPECT_EQ(std::u16string(text), u"QUELT_VER120");
  EXPECT_EQ(LoadStringW(nullptr, 2, text, 100), 12);
  EXPECT_EQ(std::u16string(text), u"QUELT_VER120");
  EXPECT_NE(LoadIconW(nullptr, MAKEINTRESOURCEW(101)), nullptr);
  EXPECT_NE(LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(2)), nullptr);
}

TEST_F(PlatformLoading, SampleCompactBackgroundLoadsFromTheStorageCard) {
  setenv("QUELT_STORAGE_CARD", QUELT_SAMPLE_STORAGE_CARD, 1);
  HBITMAP background = SHLoadDIBitmap(W("\\Storage Card\\QUELTIMAGE.bmp"));
  unsetenv("QUELT_STORAGE_CARD");
  ASSERT_NE(background, nullptr);
  BITMAP header = {};
  ASSERT_NE(GetObjectW(background, sizeof header, &header), 0);
  EXPECT_EQ(header.bmWidth, 800);
  EXPECT_EQ(header.bmHeight, 480);
  DeleteObject(background);
}

}  // namespace
