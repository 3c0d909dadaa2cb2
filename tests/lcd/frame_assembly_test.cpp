// Frame assembly on hand-built stream reads: where each chunk is filed, what a frame end expands
// into the pixel matrix, and which messages reach the main window.
#include "lcd/frame_assembly.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/panel_state.h"

namespace {

// Posted after the system's messages so that draining the queue never waits.
constexpr UINT WM_DRAINED = 0x8001;

LRESULT PassToDefault(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

struct Batch {
  std::uint8_t bytes[StreamBufferBytes] = {};

  std::uint8_t* Sector(int sector) { return bytes + sector * SectorBytes; }
  // Chunk 0, 1 or 2 of a sector: its 160 bytes all set to fill, and its row id.
  Batch& Chunk(int sector, int chunk, std::uint8_t row_id, std::uint8_t fill) {
    std::memset(Sector(sector) + chunk * 160, fill, 160);
    Sector(sector)[508 + chunk] = row_id;
    return *this;
  }
  Batch& Byte(int sector, int chunk, int index, std::uint8_t value) {
    Sector(sector)[chunk * 160 + index] = value;
    return *this;
  }
  Batch& Key(int sector, std::uint8_t key) {
    Sector(sector)[506] = key;
    return *this;
  }
};

// A whole frame in one read: the left and right halves of pages 0 to 14, the right half of page
// 14 (the frame end) last. Every chunk holds fill.
Batch WholeFrame(std::uint8_t fill) {
  Batch batch;
  for (int page = 0; page < 15; ++page) {
    const int left = 2 * page;
    const int right = 2 * page + 1;
    batch.Chunk(left / 3, left % 3, page, fill).Chunk(right / 3, right % 3, 0x80 | page, fill);
  }
  return batch;
}

class FrameAssemblyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPanelState();
    static const ATOM registered = [] {
      WNDCLASSW window_class = {};
      window_class.lpfnWndProc = PassToDefault;
      window_class.lpszClassName = W("FrameAssemblyTest");
      return RegisterClassW(&window_class);
    }();
    ASSERT_NE(registered, 0);
    Panel.MainWindow = CreateWindowExW(0, W("FrameAssemblyTest"), W(""), WS_POPUP, 0, 0, 10, 10,
                                       nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(Panel.MainWindow, nullptr);
  }
  void TearDown() override { DestroyWindow(Panel.MainWindow); }

  // The messages posted to the main window since the last call, oldest first.
  std::vector<UINT> PostedMessages() {
    std::vector<UINT> posted;
    PostMessageW(Panel.MainWindow, WM_DRAINED, 0, 0);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) && message.message != WM_DRAINED) {
      posted.push_back(message.message);
    }
    return posted;
  }

  void Process(const Batch& batch) { ProcessLcdBatch(batch.bytes); }
};

using Messages = std::vector<UINT>;

struct RowIdCase {
  std::uint8_t row_id;
  int slot;
  int offset;
};

void PrintTo(const RowIdCase& placement, std::ostream* out) {
  *out << "row id " << int{placement.row_id};
}

class ChunkPlacementTest : public FrameAssemblyTest,
                           public ::testing::WithParamInterface<RowIdCase> {};

TEST_P(ChunkPlacementTest, ChunkLandsInSlotAndHalfGivenByRowId) {
  const RowIdCase& placement = GetParam();
  Batch batch;
  // Every chunk before the last one carries row id 0 and zeros: page 0, left half.
  batch.Chunk(9, 2, placement.row_id, 0x5A);
  Process(batch);
  for (int slot = 0; slot < LcdPageSlots; ++slot) {
    for (int column = 0; column < LcdPageBytes; ++column) {
      const bool filed =
          slot == placement.slot && column >= placement.offset && column < placement.offset + 160;
      ASSERT_EQ(Panel.LcdPageImage[slot][column], filed ? 0x5A : 0)
          << "slot " << slot << " column " << column;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(RowIds, ChunkPlacementTest,
                         ::testing::Values(RowIdCase{0x00, 0, 0}, RowIdCase{0x0E, 14, 0},
                                           RowIdCase{0x80, 0, 160}, RowIdCase{0x8D, 13, 160},
                                           RowIdCase{0x0F, 15, 0}, RowIdCase{0x10, 0, 0},
                                           RowIdCase{0x1E, 14, 0}, RowIdCase{126, 14, 0},
                                           RowIdCase{127, 15, 160}, RowIdCase{0x8F, 15, 160},
                                           RowIdCase{0xFF, 15, 160}));

TEST_F(FrameAssemblyTest, AllZeroReadFilesLeftHalfOfPage0AndEndsNoFrame) {
  Panel.LcdPageImage[0][0] = 0x11;
  Panel.LcdPageImage[0][160] = 0x22;
  Process(Batch());
  EXPECT_EQ(Panel.LcdPageImage[0][0], 0);
  EXPECT_EQ(Panel.LcdPageImage[0][160], 0x22);
  EXPECT_EQ(PostedMessages(), Messages{});
}

TEST_F(FrameAssemblyTest, FrameEndExpandsEachBitTopRowFirst) {
  Batch batch;
  // Page 3, column 100; then the frame end.
  batch.Chunk(0, 0, 0x03, 0).Byte(0, 0, 100, 0b10100101);
  batch.Chunk(0, 1, FrameEndRowId, 0);
  Process(batch);
  const std::uint8_t expected[8] = {255, 0, 255, 0, 0, 255, 0, 255};
  for (int bit = 0; bit < 8; ++bit) {
    EXPECT_EQ(Panel.LcdPixelMatrix[24 + bit][100], expected[bit]) << "bit " << bit;
  }
  EXPECT_EQ(Panel.LcdPageShadow[3][100], 0b10100101);
  EXPECT_EQ(PostedMessages(), Messages{WM_PANEL_REFRESH});
}

TEST_F(FrameAssemblyTest, ClosingChunkTakesPartInItsOwnFrame) {
  Batch batch;
  batch.Chunk(0, 2, FrameEndRowId, 0).Byte(0, 2, 7, 0x80);  // page 14, column 167
  Process(batch);
  EXPECT_EQ(Panel.LcdPixelMatrix[119][167], 255);
  EXPECT_EQ(PostedMessages(), Messages{WM_PANEL_REFRESH});
}

TEST_F(FrameAssemblyTest, ChangedFrameRestartsQuietTickCount) {
  Panel.PollsSinceChange = 7;
  Process(WholeFrame(0x01));
  EXPECT_EQ(Panel.PollsSinceChange.load(), 0u);
}

TEST_F(FrameAssemblyTest, BlankFirstFramePostsNothing) {
  Panel.PollsSinceChange = 7;
  Process(WholeFrame(0x00));
  EXPECT_EQ(PostedMessages(), Messages{});
  EXPECT_EQ(Panel.PollsSinceChange.load(), 7u);
}

TEST_F(FrameAssemblyTest, IdenticalFramePostsNothingAndLeavesCountRunning) {
  Process(WholeFrame(0x3C));
  EXPECT_EQ(PostedMessages(), Messages{WM_PANEL_REFRESH});
  Panel.PollsSinceChange = 4;
  Process(WholeFrame(0x3C));
  EXPECT_EQ(PostedMessages(), Messages{});
  EXPECT_EQ(Panel.PollsSinceChange.load(), 4u);
}

TEST_F(FrameAssemblyTest, ByteChangedAndChangedBackBetweenFrameEndsPostsNothing) {
  Process(WholeFrame(0x3C));
  PostedMessages();
  Batch changed;
  changed.Chunk(0, 0, 0x02, 0x3C).Byte(0, 0, 50, 0xFF);
  Process(changed);
  Process(WholeFrame(0x3C));
  EXPECT_EQ(PostedMessages(), Messages{});
  EXPECT_EQ(Panel.LcdPixelMatrix[16][50], 0);
  EXPECT_EQ(Panel.LcdPixelMatrix[18][50], 255);
}

TEST_F(FrameAssemblyTest, OnlyPages0To14AndColumns2To312ReachTheMatrix) {
  Batch page_15;
  page_15.Chunk(0, 0, 0x0F, 0xFF).Chunk(0, 1, 0x8F, 0xFF);
  Process(page_15);
  Process(WholeFrame(0xFF));
  ASSERT_EQ(Panel.LcdPageImage[15][319], 0xFF);
  for (int row = 0; row < LcdMatrixRows; ++row) {
    for (int column = 0; column < LcdMatrixColumns; ++column) {
      const bool applied = row < 120 && column >= 2 && column <= 312;
      ASSERT_EQ(Panel.LcdPixelMatrix[row][column], applied ? 255 : 0)
          << "row " << row << " column " << column;
    }
  }
}

struct OutsideCase {
  std::uint8_t row_id;
  int chunk_column;  // within the 160 bytes of the chunk
};

void PrintTo(const OutsideCase& outside, std::ostream* out) {
  *out << "row id " << int{outside.row_id} << ", chunk byte " << outside.chunk_column;
}

class OutsideChangeTest : public FrameAssemblyTest,
                          public ::testing::WithParamInterface<OutsideCase> {};

TEST_P(OutsideChangeTest, ChangeOutsideTheShownAreaPostsNothing) {
  const OutsideCase& outside = GetParam();
  Batch batch;
  batch.Chunk(0, 0, outside.row_id, 0).Byte(0, 0, outside.chunk_column, 0xFF);
  batch.Chunk(0, 1, FrameEndRowId, 0);
  Process(batch);
  EXPECT_EQ(PostedMessages(), Messages{});
  for (const auto& row : Panel.LcdPixelMatrix) {
    for (std::uint8_t pixel : row) ASSERT_EQ(pixel, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Positions, OutsideChangeTest,
                         ::testing::Values(OutsideCase{0x04, 0},     // column 0
                                           OutsideCase{0x04, 1},     // column 1
                                           OutsideCase{0x84, 153},   // column 313
                                           OutsideCase{0x84, 159},   // column 319
                                           OutsideCase{0x0F, 80},    // page 15, left
                                           OutsideCase{0x8F, 80}));  // page 15, right

TEST_F(FrameAssemblyTest, EachSectorKeyIsPostedBeforeItsChunks) {
  Batch batch;
  batch.Key(1, 0x53).Key(2, 0x53).Key(7, 0x53);
  batch.Chunk(2, 0, FrameEndRowId, 0xFF);
  Process(batch);
  EXPECT_EQ(PostedMessages(),
            (Messages{WM_CONTROLLER_KEY, WM_CONTROLLER_KEY, WM_PANEL_REFRESH, WM_CONTROLLER_KEY}));
  EXPECT_EQ(Panel.ControllerKey.load(), 0x53);
}

TEST_F(FrameAssemblyTest, LastKeyOfTheReadIsLeftInTheMailbox) {
  Batch batch;
  batch.Key(0, 0x53).Key(9, 0x82);
  Process(batch);
  EXPECT_EQ(PostedMessages(), (Messages{WM_CONTROLLER_KEY, WM_CONTROLLER_KEY}));
  EXPECT_EQ(Panel.ControllerKey.load(), 0x82);
}

TEST_F(FrameAssemblyTest, TwoChangedFrameEndsInOneReadPostTwoRefreshes) {
  Batch batch;
  batch.Chunk(1, 0, 0x06, 0x01).Chunk(1, 1, FrameEndRowId, 0);
  batch.Chunk(5, 0, 0x06, 0x02).Chunk(5, 1, FrameEndRowId, 0);
  Process(batch);
  EXPECT_EQ(PostedMessages(), (Messages{WM_PANEL_REFRESH, WM_PANEL_REFRESH}));
  EXPECT_EQ(Panel.LcdPixelMatrix[48][10], 0);
  EXPECT_EQ(Panel.LcdPixelMatrix[49][10], 255);
}

// Only row id 142 ends a frame: ids that share its page (14), its half or its low bits file their
// chunk and leave a change waiting for the real frame end.
TEST_F(FrameAssemblyTest, OnlyRowId142EndsAFrame) {
  for (const std::uint8_t row_id : {0x8F, 0x0E, 0x9E, 0xFE, 0x8D, 0x7F}) {
    SCOPED_TRACE(int{row_id});
    const HWND window = Panel.MainWindow;
    ResetPanelState();
    Panel.MainWindow = window;
    Batch batch;
    batch.Chunk(0, 0, 0x00, 0x01).Chunk(0, 1, row_id, 0x01);
    Process(batch);
    EXPECT_EQ(Panel.LcdPixelMatrix[0][10], 0);
    EXPECT_EQ(PostedMessages(), Messages{});
    Batch frame_end;
    frame_end.Chunk(0, 0, 0x00, 0x01).Chunk(0, 1, FrameEndRowId, 0);
    Process(frame_end);
    EXPECT_EQ(Panel.LcdPixelMatrix[0][10], 255);
    EXPECT_EQ(PostedMessages(), Messages{WM_PANEL_REFRESH});
  }
}

TEST_F(FrameAssemblyTest, ChunksAfterFrameEndWaitForTheNextOne) {
  Batch first;
  first.Chunk(3, 0, FrameEndRowId, 0).Chunk(3, 1, 0x09, 0xFF);
  Process(first);
  EXPECT_EQ(Panel.LcdPixelMatrix[72][20], 0);
  EXPECT_EQ(PostedMessages(), Messages{});
  Batch second;
  second.Chunk(0, 0, 0x0A, 0).Chunk(0, 1, FrameEndRowId, 0);
  // Sectors 1 to 9 file zeros into the left half of page 0; page 9 keeps what came before.
  Process(second);
  EXPECT_EQ(Panel.LcdPixelMatrix[72][20], 255);
  EXPECT_EQ(PostedMessages(), Messages{WM_PANEL_REFRESH});
}

}  // namespace
