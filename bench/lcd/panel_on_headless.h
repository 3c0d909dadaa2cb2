// The panel as start-up leaves it, on a shown window of the headless display, and a simulator
// LCD whose text line scrolls: what the refresh benchmark and the instruction count both drive.
#pragma once

#include <cstddef>

#include "platform/win32.h"

// The window, the pictures and the drawing surfaces, made once, with the sample compact
// background read from a storage card of its own.
HWND PreparePanel();

// Copies the scrolling LCD, moved on by `step` steps of 40 ms, into the pixel matrix as frame
// assembly would expand it; the frames repeat after 64 steps.
void ShowScrollingFrame(std::size_t step);

// Every pixel of the matrix flipped: a frame where the whole LCD changed.
void InvertLcdMatrix();
