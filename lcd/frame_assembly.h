// LCD frame assembly: files the controller's LCD chunks of each streamed read into the page image
// and, at every frame end, expands what changed into the pixel matrix that compositing draws.
// Link thread only.
#pragma once

#include <cstdint>

#include "app/exchange_layout.h"

// The part of the LCD that reaches the screen: pages 0 to 14 (rows 0 to 119), columns 2 to 312.
constexpr int AppliedPages = 15;
constexpr int FirstAppliedColumn = 2;
constexpr int LastAppliedColumn = 312;

// One good 10-sector stream read: per sector, the key code is handed on first, then the three
// chunks are filed, each frame end applying the image at once.
void ProcessLcdBatch(const std::uint8_t (&batch)[StreamBufferBytes]);
// Expands every byte that differs from the last applied frame into the matrix; posts
// WM_PANEL_REFRESH and restarts PollsSinceChange when anything changed.
void ApplyLcdFrame();
// Makes the matrix again from the frame last applied (a resumed panel has the pages, not the
// pixels).
void RebuildLcdMatrix();
