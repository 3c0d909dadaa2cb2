#include "tests/lcd/screen_fixture.h"

#include <cstdlib>
#include <mutex>
#include <sstream>

#include "app/panel_state.h"
#include "platform/png_file.h"
#include "platform/testing_display.h"
#include "tests/platform_gdi/dib_probe.h"

void Picture::Paste(const Picture& source, int x, int y) {
  for (int row = 0; row < source.height; ++row) {
    for (int column = 0; column < source.width; ++column) {
      At(x + column, y + row) = source.At(column, row);
    }
  }
}

Picture Picture::Region(int x, int y, int region_width, int region_height) const {
  Picture region(region_width, region_height);
  for (int row = 0; row < region_height; ++row) {
    for (int column = 0; column < region_width; ++column) {
      region.At(column, row) = At(x + column, y + row);
    }
  }
  return region;
}

std::string Differences(const Picture& got, const Picture& expected) {
  std::ostringstream report;
  int differences = 0;
  for (int y = 0; y < expected.height; ++y) {
    for (int x = 0; x < expected.width; ++x) {
      if (got.At(x, y) == expected.At(x, y)) continue;
      if (++differences <= 5) {
        report << "(" << x << ", " << y << ") is " << std::hex << got.At(x, y) << ", expected "
               << expected.At(x, y) << std::dec << "; ";
      }
    }
  }
  if (differences > 5) report << differences << " pixels differ";
  return report.str();
}

Picture CaptureScreenPicture() {
  using platform::testing::kScreenHeight;
  using platform::testing::kScreenWidth;
  const std::vector<std::uint8_t> rgb = platform::testing::CaptureScreen();
  Picture picture(kScreenWidth, kScreenHeight);
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    picture.pixels[i] =
        static_cast<Rgb>(rgb[3 * i]) << 16 | static_cast<Rgb>(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
  }
  return picture;
}

Picture Snapshot(HDC dc, int width, int height, int x, int y) {
  platform::test::Dib copy(width, height, 24, true);
  copy.Fill(0);
  BitBlt(copy.dc, 0, 0, width, height, dc, x, y, SRCCOPY);
  Picture picture(width, height);
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column)
      picture.At(column, row) = copy.Pixel(column, row);
  }
  return picture;
}

void KeepCapture(const Picture& picture, const std::string& name) {
  const char* folder = std::getenv("QUELT_CAPTURE_DIR");
  if (!folder) return;
  std::vector<std::uint8_t> rgb;
  for (Rgb pixel : picture.pixels) {
    rgb.push_back(static_cast<std::uint8_t>(pixel >> 16));
    rgb.push_back(static_cast<std::uint8_t>(pixel >> 8));
    rgb.push_back(static_cast<std::uint8_t>(pixel));
  }
  EXPECT_TRUE(platform::WritePngFile(std::string(folder) + "/" + name + ".png", picture.width,
                                     picture.height, rgb));
}

void ScreenTest::ShowPanel() {
  StartProgram();
  platform::AdvanceVirtualTime(500);
  OnMainThread([] { ShowWindow(Panel.MainWindow, SW_SHOW); });
}

void ScreenTest::OnMainThread(std::function<void()> action) {
  RunOnMainThread(std::move(action));
  platform::AdvanceVirtualTime(20);
}

void ScreenTest::PostAndRun(UINT message) {
  PostMessageW(Panel.MainWindow, message, 0, 0);
  platform::AdvanceVirtualTime(20);
}

void ScreenTest::SwitchToView(std::uint8_t panel_mode) {
  OnMainThread([panel_mode] { Panel.PanelMode = panel_mode; });
  PostAndRun(WM_PAINT);
  Refresh();
}

void ScreenTest::LightLcd(int m, int c) {
  std::lock_guard<std::mutex> hold(Panel.LcdMatrixLock);
  Panel.LcdPixelMatrix[m][c] = 255;
  Panel.LcdRowWritten[m] = true;
}
