// The program's start-up, its single instance, its pictures and both ways it ends, run whole in
// virtual time on the headless display.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/app_main.h"
#include "app/panel_state.h"
#include "app/start_up.h"
#include "platform/internal/module_interfaces.h"
#include "platform/testing_display.h"
#include "resources/panel_resources.h"
#include "tests/app/shell_fixture.h"

namespace {

using platform::testing::MessageBoxesShown;

std::string Decimal(const void* handle) {
  return std::to_string(reinterpret_cast<std::uintptr_t>(handle));
}

int CountWindows() {
  int windows = 0;
  platform::ForEachWindow([&](const platform::WindowInfo&) { ++windows; });
  return windows;
}

// A memory context holds a picture when copying from it succeeds.
bool HoldsPicture(HDC context) {
  if (!context) return false;
  HDC scratch = CreateCompatibleDC(nullptr);
  HBITMAP target = CreateCompatibleBitmap(scratch, 1, 1);
  HGDIOBJ previous = SelectObject(scratch, target);
  BOOL copied = BitBlt(scratch, 0, 0, 1, 1, context, 0, 0, SRCCOPY);
  SelectObject(scratch, previous);
  DeleteObject(target);
  DeleteDC(scratch);
  return copied != 0;
}

struct PictureContext {
  int id;
  HDC PanelState::*context;
};

const PictureContext ResourcePictureContexts[] = {
    {188, &PanelState::PanelPictureDc},     {191, &PanelState::KeyRowLampsDc},
    {190, &PanelState::PresetLampsDc},      {192, &PanelState::SideKeyLampsDc},
    {194, &PanelState::TopBarLampsDc},      {212, &PanelState::UsbIndicatorDc},
    {211, &PanelState::AuxIndicatorDc},     {210, &PanelState::MakerLogoDc},
    {213, &PanelState::UncaptionedPanelDc}, {214, &PanelState::LinkIndicatorDc},
};

// Reads one pixel of a context by copying it into a 24-bit DIB section.
COLORREF PixelOf(HDC context, int x, int y) {
  HDC scratch = CreateCompatibleDC(nullptr);
  HBITMAP dib = CreateCanvasDib(scratch, 1, 1);
  HGDIOBJ previous = SelectObject(scratch, dib);
  BitBlt(scratch, 0, 0, 1, 1, context, x, y, SRCCOPY);
  BITMAP header = {};
  GetObjectW(dib, sizeof(header), &header);
  const auto* bgr = static_cast<const std::uint8_t*>(header.bmBits);
  COLORREF colour = RGB(bgr[2], bgr[1], bgr[0]);
  SelectObject(scratch, previous);
  DeleteObject(dib);
  DeleteDC(scratch);
  return colour;
}

TEST_F(ShellTest, NormalStartLaunchesHomeOnceBetweenWindowAndLinkThread) {
  PlaceCompactBackground();
  StartProgram();
  platform::AdvanceVirtualTime(1000);

  ASSERT_NE(Panel.MainWindow, nullptr);
  EXPECT_EQ(HomeProgramStarts(), 1);
  auto window = TraceStartingWith("CreateWindowExW QUELT_VER120");
  auto launch = TraceStartingWith("ShellExecuteEx \\Storage Card\\App\\hbHome.exe");
  auto thread = TraceStartingWith("CreateThread");
  ASSERT_EQ(window.size(), 1u);
  ASSERT_EQ(launch.size(), 1u);
  ASSERT_EQ(thread.size(), 1u);
  const std::string trace = platform::FormatTrace(platform::VirtualTrace());
  EXPECT_LT(trace.find(window[0].text), trace.find(launch[0].text)) << trace;
  EXPECT_LT(trace.find(launch[0].text), trace.find(thread[0].text)) << trace;
  EXPECT_TRUE(MessageBoxesShown().empty());
  EXPECT_EQ(Panel.StreamMode.load(), 1);
  EXPECT_EQ(Panel.PanelMode, 1);
}

TEST_F(ShellTest, MainWindowStaysHiddenWhateverShowCode) {
  for (int show_code : {SW_HIDE, 1, SW_SHOW, 3}) {
    SCOPED_TRACE(show_code);
    TearDown();
    SetUp();
    StartProgram(show_code);
    platform::AdvanceVirtualTime(2000);
    ASSERT_NE(Panel.MainWindow, nullptr);
    EXPECT_FALSE(IsWindowVisible(Panel.MainWindow));
  }
}

TEST_F(ShellTest, WindowCreationArmsHeartbeatAndAutosaveTimers) {
  StartProgram();
  platform::AdvanceVirtualTime(5200);
  auto heartbeats = TraceStartingWith("QUELT_VER120 WM_TIMER 1 ");
  auto autosaves = TraceStartingWith("QUELT_VER120 WM_TIMER 2 ");
  ASSERT_FALSE(heartbeats.empty());
  EXPECT_EQ(heartbeats[0].ms, 400);
  ASSERT_EQ(autosaves.size(), 1u);
  EXPECT_EQ(autosaves[0].ms, 5100);
}

TEST_F(ShellTest, SecondStartHandsOverToTheRunningInstance) {
  HWND running = nullptr;
  int windows_before = 0;
  StartProgram(SW_SHOW, [&] {
    // What the first instance left on the desktop: its main window, by class and title.
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.lpszClassName = W("QUELT_VER120");
    RegisterClassW(&window_class);
    running = CreateWindowExW(0, W("QUELT_VER120"), W("QUELT_VER120"), WS_BORDER, 0, 0, 800, 480,
                              nullptr, nullptr, nullptr, nullptr);
    ShowWindow(running, SW_SHOW);
    windows_before = CountWindows();
  });
  int exit_code = -1;
  ASSERT_TRUE(platform::RunUntilMainReturns(1000, &exit_code));

  EXPECT_EQ(exit_code, 0);
  EXPECT_EQ(HomeProgramStarts(), 1);
  EXPECT_EQ(GetForegroundWindow(), running);
  EXPECT_EQ(CountWindows(), windows_before);
  EXPECT_TRUE(TraceStartingWith("CreateThread").empty());
  EXPECT_EQ(Panel.MainWindow, nullptr);
  // Nothing was read from or written to the card but the home program's own log.
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(card_)) {
    files.push_back(entry.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"App", "home.log"}));
}

// A start that cannot make its window is a failure for the service manager: it ends with a status
// of its own and one line that says why, not with the 0 of a user's exit.
TEST_F(ShellTest, StartUpFailureEndsNonZeroWithOneLineSayingWhy) {
  ::testing::internal::CaptureStderr();
  StartProgram(SW_SHOW, [] {
    // The main window's class is taken, yet no window of the panel's is there to hand over to.
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.lpszClassName = W("QUELT_VER120");
    RegisterClassW(&window_class);
  });
  int exit_code = -1;
  ASSERT_TRUE(platform::RunUntilMainReturns(1000, &exit_code));
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(exit_code, StartUpFailedExitCode);
  EXPECT_NE(errors.find("start-up failed: the main window's class could not be registered\n"),
            std::string::npos)
      << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

// Only a regular file of the card is the compact background: a link (even to a good picture) or
// a FIFO in its place counts as missing, and the FIFO does not hold up the start.
TEST_F(ShellTest, MissingCompactBackgroundShowsOneBoxAndLoadsEveryResourcePicture) {
  struct Case {
    const char* situation;
    std::function<void(const std::string& path)> make;
  };
  const std::string sample =
      std::string(QUELT_SOURCE_DIR) + "/resources/storage-card/QUELTIMAGE.bmp";
  const Case cases[] = {
      {"absent", [](const std::string&) {}},
      {"a link to the picture",
       [&](const std::string& path) { std::filesystem::create_symlink(sample, path); }},
      {"a FIFO", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.situation);
    TearDown();
    SetUp();
    row.make(CardPath("QUELTIMAGE.bmp"));
    StartProgram();
    platform::AdvanceVirtualTime(1000);

    auto boxes = MessageBoxesShown();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"Error in Load Bitmap 1 !");
    EXPECT_EQ(boxes[0].caption, u"Error");
    EXPECT_EQ(boxes[0].owner, Panel.MainWindow);
    EXPECT_NE(Panel.CompactBackgroundDc, nullptr);
    EXPECT_FALSE(HoldsPicture(Panel.CompactBackgroundDc));
    for (const PictureContext& picture : ResourcePictureContexts) {
      EXPECT_TRUE(HoldsPicture(Panel.*picture.context)) << picture.id;
    }
  }
}

TEST_F(ShellTest, MissingResourcePictureCutsLoadingShort) {
  PlaceCompactBackground();
  ResourceTable without_192 = PanelResources();
  std::vector<ResourceBlob> bitmaps;
  for (std::size_t i = 0; i < without_192.bitmap_count; ++i) {
    if (without_192.bitmaps[i].id != 192) bitmaps.push_back(without_192.bitmaps[i]);
  }
  without_192.bitmaps = bitmaps.data();
  without_192.bitmap_count = bitmaps.size();
  SetResourceTable(&without_192);
  StartProgram();
  platform::AdvanceVirtualTime(1000);

  auto boxes = MessageBoxesShown();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, u"Error in Load Bitmap !");
  EXPECT_EQ(boxes[0].caption, u"Error");
  for (const PictureContext& picture : ResourcePictureContexts) {
    SCOPED_TRACE(picture.id);
    HDC context = Panel.*picture.context;
    if (picture.id == 188 || picture.id == 191 || picture.id == 190) {
      EXPECT_TRUE(HoldsPicture(context));
    } else if (picture.id == 192) {
      EXPECT_NE(context, nullptr);
      EXPECT_FALSE(HoldsPicture(context));
    } else {
      EXPECT_EQ(context, nullptr);
    }
  }
  // Start-up goes on: the surfaces exist and the program runs.
  EXPECT_NE(Panel.BackBufferDc, nullptr);
  EXPECT_FALSE(platform::RunUntilMainReturns(100, nullptr));
}

TEST_F(ShellTest, BackBufferHoldsTheFirstPicture) {
  PlaceCompactBackground();
  StartProgram();
  platform::AdvanceVirtualTime(500);

  // Outside the two indicator fields the BackBuffer is the panel picture; inside them it shows
  // the first frame of each indicator (both preferences start at 0).
  for (auto [x, y] : {std::pair{5, 5}, {400, 150}, {150, 320}, {790, 10}, {400, 470}}) {
    EXPECT_EQ(PixelOf(Panel.BackBufferDc, x, y), PixelOf(Panel.PanelPictureDc, x, y))
        << x << "," << y;
  }
  for (int y = 0; y < 14; ++y) {
    for (int x = 0; x < 52; x += 3) {
      ASSERT_EQ(PixelOf(Panel.BackBufferDc, 176 + x, 16 + y), PixelOf(Panel.AuxIndicatorDc, x, y));
    }
    for (int x = 0; x < 72; x += 3) {
      ASSERT_EQ(PixelOf(Panel.BackBufferDc, 269 + x, 16 + y), PixelOf(Panel.UsbIndicatorDc, x, y));
    }
  }
}

TEST_F(ShellTest, AcceleratorsChangeNothing) {
  PlaceCompactBackground();
  StartProgram();
  platform::AdvanceVirtualTime(500);
  HWND window = Panel.MainWindow;
  const std::uint8_t mode = Panel.PanelMode;

  for (WPARAM key : {WPARAM{'A'}, WPARAM{'Q'}}) {
    PostMessageW(window, WM_KEYDOWN, key, platform::kKeyControlDown);
  }
  platform::AdvanceVirtualTime(500);

  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(Panel.PanelMode, mode);
  EXPECT_NE(Panel.BackBufferDc, nullptr);
  EXPECT_FALSE(platform::RunUntilMainReturns(100, nullptr));
}

TEST_F(ShellTest, DestructionReleasesDrawingObjectsInOrderAndEndsWithZero) {
  PlaceCompactBackground();
  StartProgram();
  platform::AdvanceVirtualTime(500);
  const std::vector<std::string> expected = {
      "SelectObject " + Decimal(Panel.BackBufferDc) + " " + Decimal(Panel.BackBufferPreviousBitmap),
      "DeleteObject " + Decimal(Panel.BackBufferBitmap),
      "DeleteDC " + Decimal(Panel.BackBufferDc),
      "DeleteDC " + Decimal(Panel.LcdBackdropDc),
      "DeleteDC " + Decimal(Panel.LcdCanvasDc),
      "DeleteObject " + Decimal(Panel.LcdBackdropDib),
      "DeleteObject " + Decimal(Panel.LcdCanvasDib),
  };
  const std::size_t trace_before = platform::VirtualTrace().size();

  // The window manager's close: WM_CLOSE, which the default procedure answers by destroying.
  PostMessageW(Panel.MainWindow, WM_CLOSE, 0, 0);
  int exit_code = -1;
  ASSERT_TRUE(platform::RunUntilMainReturns(1000, &exit_code));
  EXPECT_EQ(exit_code, 0);

  std::vector<std::string> released;
  auto trace = platform::VirtualTrace();
  for (std::size_t i = trace_before; i < trace.size(); ++i) {
    const std::string& text = trace[i].text;
    if (text.rfind("Delete", 0) == 0 || text.rfind("SelectObject", 0) == 0)
      released.push_back(text);
  }
  EXPECT_EQ(released, expected) << platform::FormatTrace(trace);
  for (HDC context : {Panel.BackBufferDc, Panel.LcdBackdropDc, Panel.LcdCanvasDc}) {
    EXPECT_EQ(context, nullptr);
  }
  EXPECT_EQ(Panel.BackBufferBitmap, nullptr);
  EXPECT_EQ(Panel.LcdBackdropDib, nullptr);
  EXPECT_EQ(Panel.LcdCanvasDib, nullptr);
}

TEST_F(ShellTest, ExitCornerEndsOnlyInsideTheCorner) {
  struct Case {
    std::uint16_t x, y;
    bool ends;
  };
  for (const Case& touch : {Case{771, 29, true}, Case{770, 29, false}, Case{771, 30, false},
                            Case{799, 0, true}, Case{65535, 0, true}}) {
    SCOPED_TRACE(std::to_string(touch.x) + "," + std::to_string(touch.y));
    TearDown();
    SetUp();
    PlaceCompactBackground();
    StartProgram();
    platform::AdvanceVirtualTime(500);
    // Two pen-downs in a row, as a touch and its repeat: the second finds nothing left to release.
    PostMessageW(Panel.MainWindow, WM_LBUTTONDOWN, 0, MAKELPARAM(touch.x, touch.y));
    PostMessageW(Panel.MainWindow, WM_LBUTTONDOWN, 0, MAKELPARAM(touch.x, touch.y));
    int exit_code = -1;
    EXPECT_EQ(platform::RunUntilMainReturns(1000, &exit_code), touch.ends);
    if (touch.ends) {
      EXPECT_EQ(exit_code, 0);
      EXPECT_EQ(Panel.BackBufferDc, nullptr);
      EXPECT_TRUE(IsWindow(Panel.MainWindow)) << "the corner does not destroy the window";
    } else {
      EXPECT_NE(Panel.BackBufferDc, nullptr);
    }
  }
}

}  // namespace
