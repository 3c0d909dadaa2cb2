// LCD compositing: turns the LcdPixelMatrix into picture pixels in the LcdCanvas, taking a fixed
// colour where an LCD pixel is lit and the LcdBackdrop pixel at the same place where it is dark.
// Both renderings write straight into the two 24-bit bottom-up DIB sections through the headers
// that start-up kept; the screen refresh fills the backdrop before and copies the canvas after.
// Each rendering remembers the matrix it showed, so that a refresh of the same view renders again
// only the matrix rows that changed since (CompositeLcdChanges). Main thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "app/panel_state.h"
#include "platform/win32.h"

// 1 when the two headers have equal bits per pixel, width and height (tested in that order).
BOOL DibHeadersMatch(const BITMAP& backdrop, const BITMAP& canvas);

// The full front panel: each LCD pixel (m, c) doubled to canvas x 2c, 2c + 1 and y 2m + 3,
// 2m + 4, in red; with LcdFillStyle 0 (dotted) only the point (2c, 2m + 3) of the block is lit.
// The top 14 picture rows are never written. Returns 1 after rendering, 0 when the surfaces are
// missing or do not fit together, leaving the canvas as it was.
BOOL CompositeLcdFull();
// The compact view: LCD pixel (m, c) at natural size at canvas (c, m - 13), in the colour that
// LcdColourIndex picks. Returns like CompositeLcdFull.
BOOL CompositeLcdCompact();

// 1 when the canvas holds the whole rendering named (FullPanelLcdRendering or
// CompactLcdRendering) of an earlier matrix, made with the current preference (LcdFillStyle or
// LcdColourIndex), over a backdrop that nothing has changed since.
BOOL LcdCanvasHolds(std::uint8_t rendering);
// Renders again, into the canvas that LcdCanvasHolds, the matrix rows that changed since it was
// rendered, and returns the canvas rectangles rewritten (picture coordinates, top row 0): the
// canvas then equals a whole rendering of the matrix as it is now. Nothing when it holds none.
std::vector<RECT> CompositeLcdChanges();
