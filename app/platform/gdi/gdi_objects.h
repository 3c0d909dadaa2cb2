// The drawing objects behind HDC and HGDIOBJ handles: device contexts, bitmaps and fonts, in one
// table under one lock. Handles are never reused, so a stale handle finds nothing and the call
// fails instead of touching another object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/internal/module_interfaces.h"

namespace platform::gdi {

// Largest bitmap side and pixel count accepted.
constexpr int kMaxBitmapSide = 16384;
constexpr std::int64_t kMaxBitmapPixels = std::int64_t{64} << 20;

struct FreeMemory {
  void operator()(std::uint8_t* memory) const;
};

struct Bitmap {
  int width = 0;
  int height = 0;
  int bits_per_pixel = 32;  // 24 (blue, green, red) or 32 (0x00RRGGBB)
  int stride = 0;           // bytes per stored row
  bool bottom_up = false;   // stored row 0 is the bottom picture row
  // Device-compatible: GetObjectW gives no pixel pointer, as Win32 does, and 32 bits per pixel
  // whatever is stored.
  bool device = false;
  std::unique_ptr<std::uint8_t[], FreeMemory> memory;  // the stored rows, zeroed at creation
  HDC selected_in = nullptr;
  // Device bitmaps: how many drawings changed them, and the rectangles of the last few, for the
  // windows that hold copies of them (window_mirrors.h).
  std::uint64_t drawings = 0;
  std::deque<RECT> recent_drawings;
};

struct Font {
  LOGFONTW logfont;
};

enum class DcKind { Memory, Window, Paint };

struct DeviceContext {
  DcKind kind = DcKind::Memory;
  HWND window = nullptr;  // Window and Paint: the window drawn on
  HBITMAP bitmap;         // Memory: the selected bitmap, or the default (no) bitmap
  HFONT font;
  HGDIOBJ brush;
  HGDIOBJ pen;
  COLORREF text_colour = 0x000000;
  COLORREF background_colour = 0xFFFFFF;
  int background_mode = OPAQUE;
};

// The lock over every table below and over the pixels of the objects in them.
std::mutex& GdiLock();

// Every memory context starts with this bitmap selected: it holds no picture, and drawing with a
// context that holds it draws nothing. Selecting it back releases the context's bitmap.
HBITMAP DefaultBitmap();

// Add returns the new handle (null when memory ran out); Find returns null for unknown handles.
HBITMAP AddBitmap(std::unique_ptr<Bitmap> bitmap);
Bitmap* FindBitmap(HGDIOBJ handle);
bool RemoveBitmap(HGDIOBJ handle);
HFONT AddFont(const LOGFONTW& logfont);
Font* FindFont(HGDIOBJ handle);
bool RemoveFont(HGDIOBJ handle);
HDC AddDc(const DeviceContext& dc);
DeviceContext* FindDc(HDC handle);
bool RemoveDc(HDC handle);
// Whether any context holds the object (font, brush or pen).
bool SelectedAnywhere(HGDIOBJ object);

// A new bitmap with zeroed rows, or null when the size is refused or memory ran out.
std::unique_ptr<Bitmap> NewBitmap(int width, int height, int bits_per_pixel, bool bottom_up);

// The font that a stock object number stands for (SYSTEM_FONT and its kin).
const LOGFONTW& StockFont();

// Stock object numbers (GetStockObject), by what they are.
enum class StockKind { None, Brush, Pen, Font };
StockKind StockObjectKind(HGDIOBJ object);

}  // namespace platform::gdi
