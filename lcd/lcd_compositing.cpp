// LCD compositing. Both surfaces store rows bottom-up (stored row 0 is the bottom picture row),
// three bytes per pixel in blue, green, red order. A rendering first copies each backdrop row
// into the canvas and then stores the colour over the lit pixels of that row, which gives every
// dark pixel the backdrop's bytes and every lit one the colour's.
#include "lcd/lcd_compositing.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>

#include "app/panel_state.h"

namespace {

struct LcdColour {
  std::uint8_t blue, green, red;
};

constexpr LcdColour LcdRed = {0, 20, 255};

// By LcdColourIndex; any other value shows red.
constexpr LcdColour CompactLcdColours[] = {
    LcdRed,          // 0
    {255, 50, 0},    // 1: blue
    {80, 80, 80},    // 2: grey
    {100, 255, 80},  // 3: green
    {255, 50, 80},   // 4: violet
};

constexpr int BytesPerPixel = 3;

LcdColour CompactLcdColour() {
  const std::int32_t index = Panel.LcdColourIndex;
  if (index < 0 || index >= static_cast<std::int32_t>(std::size(CompactLcdColours))) return LcdRed;
  return CompactLcdColours[index];
}

// The headers outlive the surfaces: once shut-down has released the DIB sections their pixel
// pointers lead nowhere, so a refresh still queued then must not render.
bool CanRender() {
  const BITMAP& backdrop = Panel.LcdBackdropHeader;
  const BITMAP& canvas = Panel.LcdCanvasHeader;
  return Panel.LcdBackdropDib && Panel.LcdCanvasDib && DibHeadersMatch(backdrop, canvas) &&
         backdrop.bmBitsPixel == 24 && backdrop.bmBits && canvas.bmBits;
}

std::uint8_t* CanvasRow(LONG stored_row) {
  return static_cast<std::uint8_t*>(Panel.LcdCanvasHeader.bmBits) +
         static_cast<std::ptrdiff_t>(stored_row) * Panel.LcdCanvasHeader.bmWidthBytes;
}

// The backdrop has the canvas's width and depth, so the canvas stride serves both.
const std::uint8_t* BackdropRow(LONG stored_row) {
  return static_cast<const std::uint8_t*>(Panel.LcdBackdropHeader.bmBits) +
         static_cast<std::ptrdiff_t>(stored_row) * Panel.LcdCanvasHeader.bmWidthBytes;
}

void CopyBackdropRow(LONG stored_row) {
  const LONG width = std::max<LONG>(Panel.LcdCanvasHeader.bmWidth, 0);
  std::memcpy(CanvasRow(stored_row), BackdropRow(stored_row),
              static_cast<std::size_t>(width) * BytesPerPixel);
}

void Light(std::uint8_t* row, LONG x, LcdColour colour) {
  std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(x) * BytesPerPixel;
  pixel[0] = colour.blue;
  pixel[1] = colour.green;
  pixel[2] = colour.red;
}

// The matrix columns that a row of `limit` canvas pixels can show.
LONG ShownColumns(LONG limit) { return std::clamp<LONG>(limit, 0, LcdMatrixColumns); }

}  // namespace

BOOL DibHeadersMatch(const BITMAP& backdrop, const BITMAP& canvas) {
  return backdrop.bmBitsPixel == canvas.bmBitsPixel && backdrop.bmWidth == canvas.bmWidth &&
         backdrop.bmHeight == canvas.bmHeight;
}

BOOL CompositeLcdFull() {
  if (!CanRender()) return 0;
  const LONG width = Panel.LcdCanvasHeader.bmWidth;
  const LONG height = Panel.LcdCanvasHeader.bmHeight;
  if (height - 10 <= 4) return 1;
  const bool solid = Panel.LcdFillStyle != 0;
  // A doubled LCD pixel covers canvas columns 2c and 2c + 1.
  const LONG columns = ShownColumns((width + 1) / 2);

  std::lock_guard<std::mutex> hold(Panel.LcdMatrixLock);
  // i counts from 4 with stored row i - 4, so the top 14 picture rows are never written; the
  // matrix row is (height - i) / 2, picture row (y - 3) / 2 for height 480.
  for (LONG i = 4; i < height - 10; ++i) {
    const LONG stored_row = i - 4;
    CopyBackdropRow(stored_row);
    // Dotted style lights only even i, that is odd picture rows.
    if (!solid && i % 2 != 0) continue;
    const LONG m = (height - i) >> 1;
    if (m >= LcdMatrixRows) continue;
    const std::uint8_t* lcd = Panel.LcdPixelMatrix[m];
    std::uint8_t* row = CanvasRow(stored_row);
    for (LONG c = 0; c < columns; ++c) {
      if (lcd[c] == 0) continue;
      Light(row, 2 * c, LcdRed);
      if (solid && 2 * c + 1 < width) Light(row, 2 * c + 1, LcdRed);
    }
  }
  return 1;
}

BOOL CompositeLcdCompact() {
  if (!CanRender()) return 0;
  const LONG width = Panel.LcdCanvasHeader.bmWidth;
  const LONG height = Panel.LcdCanvasHeader.bmHeight;
  if (height <= 0) return 1;
  const LcdColour colour = CompactLcdColour();
  // Only the left half of the canvas width shows the LCD.
  const LONG columns = ShownColumns(width / 2);

  std::lock_guard<std::mutex> hold(Panel.LcdMatrixLock);
  for (LONG stored_row = 0; stored_row < height; ++stored_row) {
    CopyBackdropRow(stored_row);
    // Picture row y shows matrix row y + 13, down to the middle of the canvas.
    const LONG m = height - stored_row + 12;
    if (m >= height / 2 || m >= LcdMatrixRows) continue;
    const std::uint8_t* lcd = Panel.LcdPixelMatrix[m];
    std::uint8_t* row = CanvasRow(stored_row);
    for (LONG c = 0; c < columns; ++c) {
      if (lcd[c] != 0) Light(row, c, colour);
    }
  }
  return 1;
}
