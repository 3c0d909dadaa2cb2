// The DRM display's screen without a card: which connector and mode it lights, which rectangles
// each of its two buffers is drawn again in (also across a switch to another virtual terminal and
// back), and the picture a buffer receives: the panel letterboxed, a box above it, and nothing
// outside the rectangle that changed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/display/drm/drm_compose.h"
#include "platform/display/drm/drm_output_choice.h"
#include "platform/display/drm/drm_scanout.h"

namespace platform::display::drm {
namespace {

std::string Text(const RECT& rect) {
  return "(" + std::to_string(rect.left) + "," + std::to_string(rect.top) + ")-(" +
         std::to_string(rect.right) + "," + std::to_string(rect.bottom) + ")";
}

std::string Text(const std::vector<RECT>& rects) {
  std::string text;
  for (const RECT& rect : rects) text += Text(rect);
  return text;
}

ModeCandidate Mode(int width, int height, bool preferred = false) {
  return ModeCandidate{width, height, 60, preferred};
}

TEST(DrmOutputChoice, FirstConnectedConnectorInItsPreferredMode) {
  struct Case {
    const char* name;
    std::vector<ConnectorCandidate> connectors;
    int connector;
    int mode;
  };
  const Case cases[] = {
      {"nothing connected", {{31, false, {Mode(1920, 1080, true)}}}, -1, -1},
      {"no connectors", {}, -1, -1},
      {"the second connector is the connected one",
       {{31, false, {Mode(1920, 1080, true)}}, {32, true, {Mode(1024, 600, true)}}},
       1,
       0},
      {"preferred mode not listed first",
       {{31, true, {Mode(1920, 1080), Mode(1280, 800), Mode(800, 480, true)}}},
       0,
       2},
      {"no mode preferred: the first listed",
       {{31, true, {Mode(1280, 720), Mode(800, 480)}}},
       0,
       0},
      {"connected without modes is passed over",
       {{31, true, {}}, {32, true, {Mode(800, 480, true)}}},
       1,
       0},
      {"two connected: the first one",
       {{31, true, {Mode(1280, 720, true)}}, {32, true, {Mode(800, 480, true)}}},
       0,
       0},
  };
  for (const Case& each : cases) {
    const OutputChoice choice = ChooseOutput(each.connectors);
    EXPECT_EQ(choice.connector, each.connector) << each.name;
    EXPECT_EQ(choice.mode, each.mode) << each.name;
  }
}

constexpr RECT kWhole{0, 0, 1024, 600};

TEST(DrmScanout, WithPageFlipsEachBufferCatchesUpOnWhatChangedWhileTheOtherWasShown) {
  ScanoutBuffers scanout;
  ResetScanout(scanout, Scanout::PageFlips, 1024, 600);
  // The mode set shows buffer 0 drawn whole; buffer 1 still lacks everything.
  EXPECT_EQ(Text(TakeStale(scanout, 0)), Text(kWhole));
  TakeUnshown(scanout);
  EXPECT_FALSE(ReadyToCommit(scanout));

  AddScreenDamage(scanout, RECT{10, 10, 20, 20});
  ASSERT_TRUE(ReadyToCommit(scanout));
  ASSERT_EQ(BufferToDraw(scanout), 1);
  EXPECT_EQ(Text(TakeStale(scanout, 1)), Text(kWhole));
  EXPECT_EQ(Text(TakeUnshown(scanout)), "(10,10)-(20,20)");
  FlipQueued(scanout);

  // While the flip is pending, changes wait; then the old front buffer is drawn where it lacks
  // both the first change and the one made during the flip, and nothing else.
  AddScreenDamage(scanout, RECT{100, 100, 110, 110});
  EXPECT_FALSE(ReadyToCommit(scanout));
  FlipCompleted(scanout);
  ASSERT_TRUE(ReadyToCommit(scanout));
  ASSERT_EQ(BufferToDraw(scanout), 0);
  EXPECT_EQ(Text(TakeStale(scanout, 0)), "(10,10)-(20,20)(100,100)-(110,110)");
  EXPECT_EQ(Text(TakeUnshown(scanout)), "(100,100)-(110,110)");
  FlipQueued(scanout);
  FlipCompleted(scanout);
  // Buffer 1 lacks only the change it has not seen.
  EXPECT_EQ(BufferToDraw(scanout), 1);
  EXPECT_EQ(Text(TakeStale(scanout, 1)), "(100,100)-(110,110)");
}

TEST(DrmScanout, RectanglesAreClippedMergedWhenTheyOverlapAndBoundedInNumber) {
  ScanoutBuffers scanout;
  ResetScanout(scanout, Scanout::DirtyRects, 1024, 600);
  TakeStale(scanout, 0);
  TakeUnshown(scanout);
  AddScreenDamage(scanout, RECT{-5, -5, 10, 10});
  AddScreenDamage(scanout, RECT{5, 5, 30, 12});
  AddScreenDamage(scanout, RECT{1000, 590, 2000, 700});
  AddScreenDamage(scanout, RECT{40, 40, 40, 50});  // empty
  EXPECT_EQ(Text(TakeUnshown(scanout)), "(0,0)-(30,12)(1000,590)-(1024,600)");
  // With dirty rectangles one buffer is drawn in place: the same one every time.
  EXPECT_EQ(BufferToDraw(scanout), 0);
  TakeStale(scanout, 0);
  for (int index = 0; index < 20; ++index) {
    AddScreenDamage(scanout, RECT{index * 50, index * 20, index * 50 + 10, index * 20 + 10});
  }
  const std::vector<RECT> stale = TakeStale(scanout, 0);
  ASSERT_LE(stale.size(), 8u);
  // Every change is still covered.
  for (int index = 0; index < 20; ++index) {
    const POINT corner{index * 50, index * 20};
    bool covered = false;
    for (const RECT& rect : stale) {
      covered = covered || (corner.x >= rect.left && corner.x + 10 <= rect.right &&
                            corner.y >= rect.top && corner.y + 10 <= rect.bottom);
    }
    EXPECT_TRUE(covered) << index;
  }
}

TEST(DrmScanout, APauseHoldsEveryCommitAndTheResumeDrawsBothBuffersWhole) {
  ScanoutBuffers scanout;
  ResetScanout(scanout, Scanout::PageFlips, 1024, 600);
  TakeStale(scanout, 0);
  TakeStale(scanout, 1);
  TakeUnshown(scanout);
  AddScreenDamage(scanout, RECT{0, 0, 5, 5});
  FlipQueued(scanout);
  PauseScanout(scanout);
  // The flip may never complete while another session has the card; changes go on coming.
  AddScreenDamage(scanout, RECT{50, 50, 60, 60});
  EXPECT_FALSE(ReadyToCommit(scanout));
  ResumeScanout(scanout);
  EXPECT_FALSE(scanout.flip_pending);
  EXPECT_EQ(Text(TakeStale(scanout, scanout.front)), Text(kWhole));
  EXPECT_EQ(Text(TakeStale(scanout, 1 - scanout.front)), Text(kWhole));
  EXPECT_TRUE(ReadyToCommit(scanout));
  // A completion that arrives after the resume changes nothing: no flip is pending.
  const int front = scanout.front;
  FlipCompleted(scanout);
  EXPECT_EQ(scanout.front, front);
}

constexpr std::uint32_t kUntouched = 0x12345678;
constexpr std::uint32_t kBar = 0xFF000000;

// A picture whose every pixel tells where it is: 0x00YYYXXX-like, distinct per pixel.
std::vector<std::uint32_t> Picture(int width, int height) {
  std::vector<std::uint32_t> picture(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) picture[y * width + x] = (y << 12 | x) & 0xFFFFFF;
  }
  return picture;
}

struct Screen {
  int width;
  int height;
  int stride;  // a card's pitch may exceed the width
  std::vector<std::uint32_t> pixels;
  Screen(int w, int h, int s)
      : width(w), height(h), stride(s), pixels(std::size_t(s) * h, kUntouched) {}
  std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * stride + x]; }
};

TEST(DrmCompose, ThePanelFillsTheScreenLetterboxedWithOpaquePixels) {
  const std::vector<std::uint32_t> panel = Picture(800, 480);
  Screen screen(1280, 1024, 1296);
  const std::vector<ScreenLayer> layers{WindowLayer(panel.data(), 800, 480, 1280, 1024)};
  ComposeScreen(layers, screen.pixels.data(), screen.stride, RECT{0, 0, 1280, 1024});
  // 1280 x 768 in the middle, bars of 128 rows above and below.
  EXPECT_EQ(screen.At(0, 0), kBar);
  EXPECT_EQ(screen.At(640, 127), kBar);
  EXPECT_EQ(screen.At(0, 128), panel[0] | kBar);
  EXPECT_EQ(screen.At(1279, 128 + 767), panel[479 * 800 + 799] | kBar);
  EXPECT_EQ(screen.At(640, 128 + 384), panel[240 * 800 + 400] | kBar);
  EXPECT_EQ(screen.At(640, 1023), kBar);
  // The pitch's padding is not the screen's.
  EXPECT_EQ(screen.At(1290, 500), kUntouched);
}

TEST(DrmCompose, OnlyTheChangedRectangleIsDrawnAndABoxLiesCentredAboveThePanel) {
  const std::vector<std::uint32_t> panel = Picture(800, 480);
  const std::vector<std::uint32_t> box(200 * 100, 0x00ABCDEF);
  Screen screen(800, 480, 800);
  const std::vector<ScreenLayer> layers{WindowLayer(panel.data(), 800, 480, 800, 480),
                                        BoxLayer(box.data(), 200, 100, 800, 480)};
  EXPECT_EQ(Text(LayerRect(layers[1])), "(300,190)-(500,290)");
  const RECT changed{290, 180, 310, 200};
  ComposeScreen(layers, screen.pixels.data(), screen.stride, changed);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 800; ++x) {
      const bool inside = x >= 290 && x < 310 && y >= 180 && y < 200;
      const bool on_box = x >= 300 && y >= 190;
      const std::uint32_t expected = !inside  ? kUntouched
                                     : on_box ? 0xFFABCDEF
                                              : panel[y * 800 + x] | kBar;
      ASSERT_EQ(screen.At(x, y), expected) << x << "," << y;
    }
  }
}

TEST(DrmCompose, WithoutAWindowTheScreenIsBlackAndABoxTooLargeIsFittedIn) {
  const std::vector<std::uint32_t> box(1000 * 200, 0x00FF0000);
  Screen screen(800, 480, 800);
  const std::vector<ScreenLayer> layers{BoxLayer(box.data(), 1000, 200, 800, 480)};
  EXPECT_EQ(Text(LayerRect(layers[0])), "(0,0)-(800,480)");
  ComposeScreen(layers, screen.pixels.data(), screen.stride, RECT{0, 0, 800, 480});
  // 800 x 160 in the middle: bars of 160 rows.
  EXPECT_EQ(screen.At(400, 159), kBar);
  EXPECT_EQ(screen.At(400, 160), 0xFFFF0000);
  EXPECT_EQ(screen.At(400, 319), 0xFFFF0000);
  EXPECT_EQ(screen.At(400, 320), kBar);
  ComposeScreen({}, screen.pixels.data(), screen.stride, RECT{0, 0, 800, 480});
  EXPECT_EQ(screen.At(400, 240), kBar);
}

}  // namespace
}  // namespace platform::display::drm
