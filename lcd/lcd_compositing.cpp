// LCD compositing. Both surfaces store rows bottom-up (stored row 0 is the bottom picture row),
// three bytes per pixel in blue, green, red order. A rendering first copies each backdrop row
// into the canvas and then stores the colour over the lit pixels of that row, which gives every
// dark pixel the backdrop's bytes and every lit one the colour's.
#include "lcd/lcd_compositing.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>
#include <vector>

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

// Canvas pixels [left, right) of a stored row take the backdrop's.
void CopyBackdropSpan(LONG stored_row, LONG left, LONG right) {
  if (right <= left) return;
  std::memcpy(CanvasRow(stored_row) + static_cast<std::ptrdiff_t>(left) * BytesPerPixel,
              BackdropRow(stored_row) + static_cast<std::ptrdiff_t>(left) * BytesPerPixel,
              static_cast<std::size_t>(right - left) * BytesPerPixel);
}

void Light(std::uint8_t* row, LONG x, LcdColour colour) {
  std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(x) * BytesPerPixel;
  pixel[0] = colour.blue;
  pixel[1] = colour.green;
  pixel[2] = colour.red;
}

// The matrix columns that a row of `limit` canvas pixels can show.
LONG ShownColumns(LONG limit) { return std::clamp<LONG>(limit, 0, LcdMatrixColumns); }

// Matrix rows [top, bottom) and columns [left, right): what a rendering covers.
struct MatrixArea {
  LONG top, bottom, left, right;
};

constexpr MatrixArea WholeMatrix = {0, LcdMatrixRows, 0, LcdMatrixColumns};

// ---- The full panel ----
// Row i counts from 4 with stored row i - 4 and stops 10 short of the height, so the top 14
// picture rows are never written; the matrix row is (height - i) / 2, that is picture row
// y = height + 3 - i shows matrix row (y - 3) / 2.
constexpr LONG FirstFullPanelI = 4;
constexpr LONG FullPanelRowsLeftBelow = 10;
constexpr LONG FullPanelTopRowsKept = 14;

// Canvas row i from the backdrop across pixels [left, right), then the lit pixels of its matrix
// row among columns [first_column, last_column).
void RenderFullPanelRow(LONG i, LONG left, LONG right, LONG first_column, LONG last_column) {
  const LONG width = Panel.LcdCanvasHeader.bmWidth;
  const LONG height = Panel.LcdCanvasHeader.bmHeight;
  const bool solid = Panel.LcdFillStyle != 0;
  const LONG stored_row = i - FirstFullPanelI;
  CopyBackdropSpan(stored_row, left, right);
  // Dotted style lights only even i, that is odd picture rows.
  if (!solid && i % 2 != 0) return;
  const LONG m = (height - i) >> 1;
  if (m >= LcdMatrixRows) return;
  const std::uint8_t* lcd = Panel.LcdPixelMatrix[m];
  std::uint8_t* row = CanvasRow(stored_row);
  for (LONG c = first_column; c < last_column; ++c) {
    if (lcd[c] == 0) continue;
    // A doubled LCD pixel covers canvas columns 2c and 2c + 1.
    Light(row, 2 * c, LcdRed);
    if (solid && 2 * c + 1 < width) Light(row, 2 * c + 1, LcdRed);
  }
}

// Renders an area of the matrix and returns the canvas rectangle (picture rows top first) that
// shows it; empty when none of it shows.
RECT RenderFullPanelArea(const MatrixArea& area) {
  const LONG width = Panel.LcdCanvasHeader.bmWidth;
  const LONG height = Panel.LcdCanvasHeader.bmHeight;
  const LONG last_column = std::min(area.right, ShownColumns((width + 1) / 2));
  const RECT rect{2 * area.left, std::max(2 * area.top + 3, FullPanelTopRowsKept),
                  std::min(2 * last_column, width), std::min(2 * area.bottom + 3, height)};
  if (rect.right <= rect.left || rect.bottom <= rect.top) return RECT{};
  for (LONG y = rect.top; y < rect.bottom; ++y) {
    RenderFullPanelRow(height + 3 - y, rect.left, rect.right, area.left, last_column);
  }
  return rect;
}

// ---- The compact view ----
// Picture row y shows matrix row y + 13, down to the middle of the canvas.
constexpr LONG CompactRowsAbove = 13;

RECT RenderCompactArea(const MatrixArea& area) {
  const LONG width = Panel.LcdCanvasHeader.bmWidth;
  const LONG height = Panel.LcdCanvasHeader.bmHeight;
  const LcdColour colour = CompactLcdColour();
  // Only the left half of the canvas width shows the LCD.
  const LONG last_column = std::min(area.right, ShownColumns(width / 2));
  const LONG shown_rows = std::min<LONG>(height / 2, LcdMatrixRows);
  const RECT rect{area.left, std::max<LONG>(area.top - CompactRowsAbove, 0), last_column,
                  std::min(area.bottom, shown_rows) - CompactRowsAbove};
  if (rect.right <= rect.left || rect.bottom <= rect.top) return RECT{};
  for (LONG y = rect.top; y < rect.bottom; ++y) {
    const LONG stored_row = height - 1 - y;
    CopyBackdropSpan(stored_row, rect.left, rect.right);
    const std::uint8_t* lcd = Panel.LcdPixelMatrix[y + CompactRowsAbove];
    std::uint8_t* row = CanvasRow(stored_row);
    for (LONG c = rect.left; c < rect.right; ++c) {
      if (lcd[c] != 0) Light(row, c, colour);
    }
  }
  return rect;
}

// ---- What the canvas shows ----
std::int32_t PreferenceOf(std::uint8_t rendering) {
  return rendering == FullPanelLcdRendering ? Panel.LcdFillStyle : Panel.LcdColourIndex;
}

// After a whole rendering, with the matrix lock held.
void RememberRendering(std::uint8_t rendering) {
  Panel.LcdCanvasRendering = rendering;
  Panel.LcdCanvasPreference = PreferenceOf(rendering);
  std::memcpy(Panel.LcdRenderedMatrix, Panel.LcdPixelMatrix, sizeof Panel.LcdRenderedMatrix);
  std::fill(std::begin(Panel.LcdRowWritten), std::end(Panel.LcdRowWritten), false);
}

// Bands of consecutive matrix rows that differ from the rendered matrix, each with the columns
// that differ in any of its rows; the rendered matrix takes them over. Only rows written since
// are compared. The matrix lock must be held.
std::vector<MatrixArea> TakeMatrixChanges() {
  std::vector<MatrixArea> bands;
  for (LONG m = 0; m < LcdMatrixRows; ++m) {
    if (!Panel.LcdRowWritten[m]) continue;
    Panel.LcdRowWritten[m] = false;
    const std::uint8_t* now = Panel.LcdPixelMatrix[m];
    std::uint8_t* shown = Panel.LcdRenderedMatrix[m];
    if (std::memcmp(now, shown, LcdMatrixColumns) == 0) continue;
    LONG left = 0, right = LcdMatrixColumns;
    while (now[left] == shown[left]) ++left;
    while (now[right - 1] == shown[right - 1]) --right;
    std::memcpy(shown + left, now + left, static_cast<std::size_t>(right - left));
    if (!bands.empty() && bands.back().bottom == m) {
      MatrixArea& band = bands.back();
      band = MatrixArea{band.top, m + 1, std::min(band.left, left), std::max(band.right, right)};
    } else {
      bands.push_back(MatrixArea{m, m + 1, left, right});
    }
  }
  return bands;
}

}  // namespace

BOOL DibHeadersMatch(const BITMAP& backdrop, const BITMAP& canvas) {
  return backdrop.bmBitsPixel == canvas.bmBitsPixel && backdrop.bmWidth == canvas.bmWidth &&
         backdrop.bmHeight == canvas.bmHeight;
}

BOOL CompositeLcdFull() {
  if (!CanRender()) return 0;
  const LONG width = Panel.LcdCanvasHeader.bmWidth;
  const LONG height = Panel.LcdCanvasHeader.bmHeight;
  const LONG columns = ShownColumns((width + 1) / 2);
  std::lock_guard<std::mutex> hold(Panel.LcdMatrixLock);
  for (LONG i = FirstFullPanelI; i < height - FullPanelRowsLeftBelow; ++i) {
    RenderFullPanelRow(i, 0, width, 0, columns);
  }
  RememberRendering(FullPanelLcdRendering);
  return 1;
}

BOOL CompositeLcdCompact() {
  if (!CanRender()) return 0;
  const LONG width = Panel.LcdCanvasHeader.bmWidth;
  const LONG height = Panel.LcdCanvasHeader.bmHeight;
  std::lock_guard<std::mutex> hold(Panel.LcdMatrixLock);
  // Every row takes the backdrop; those that show the LCD are lit over it.
  for (LONG stored_row = 0; stored_row < height; ++stored_row) {
    CopyBackdropSpan(stored_row, 0, width);
  }
  RenderCompactArea(WholeMatrix);
  RememberRendering(CompactLcdRendering);
  return 1;
}

BOOL LcdCanvasHolds(std::uint8_t rendering) {
  return CanRender() && Panel.LcdCanvasRendering == rendering &&
         Panel.LcdCanvasPreference == PreferenceOf(rendering);
}

std::vector<RECT> CompositeLcdChanges() {
  std::vector<RECT> rewritten;
  const std::uint8_t rendering = Panel.LcdCanvasRendering;
  if (rendering == NoLcdRendering || !LcdCanvasHolds(rendering)) return rewritten;
  std::lock_guard<std::mutex> hold(Panel.LcdMatrixLock);
  for (const MatrixArea& band : TakeMatrixChanges()) {
    const RECT rect =
        rendering == FullPanelLcdRendering ? RenderFullPanelArea(band) : RenderCompactArea(band);
    if (rect.right > rect.left) rewritten.push_back(rect);
  }
  return rewritten;
}
