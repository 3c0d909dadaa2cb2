// The display's record of every window: its 32-bit surface, screen rectangle, visibility, the
// rectangles drawn since the last present, and the stacking order of the top-level windows. Every
// backend keeps its pixels here; a backend only shows them, and may lend the memory they live in
// (the SDL window's own framebuffer) so that showing them copies nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/internal/module_interfaces.h"

namespace platform::display {

// Largest window side accepted; a larger request gets a surface clamped to it.
constexpr int kMaxWindowSide = 8192;

// More rectangles than this waiting to be presented are presented as the one around them all.
constexpr std::size_t kMaxDirtyRects = 16;

struct FreePixels {
  void operator()(std::uint32_t* pixels) const;
};

struct WindowRecord {
  HWND handle = nullptr;
  RECT rect{};  // screen position; the surface has its size
  bool top_level = false;
  bool visible = false;
  int width = 0;
  int height = 0;
  // Rows of `width` pixels, top first: the record's own memory, or memory the backend lent. The
  // pointer moves only on the window's display thread (a lend, or a size change taking the memory
  // back), so a window shown by SDL is drawn on by that thread only.
  std::uint32_t* pixels = nullptr;
  std::unique_ptr<std::uint32_t, FreePixels> own_pixels;
  std::vector<RECT> dirty;  // what waits to be presented, at most kMaxDirtyRects
};

// The one lock over every record. Held briefly; no call out of the display happens under it.
std::mutex& SurfacesLock();

// Creates or replaces the record of a window. The lock must be held.
WindowRecord* AddWindowRecord(HWND window, const RECT& rect, bool top_level);
// The record, or null. The lock must be held.
WindowRecord* FindWindowRecord(HWND window);
// The lock must be held.
void RemoveWindowRecord(HWND window);

// Moves a top-level window to the top of the stacking order. The lock must be held.
void RaiseWindowRecord(HWND window);
// Visible top-level windows, bottom first. The lock must be held.
void ForEachVisibleTopLevel(const std::function<void(const WindowRecord&)>& visit);

// Adds rect, clipped to the surface, to what waits to be presented; it joins the last rectangle
// when it continues it downwards. The lock must be held.
void AddDirty(WindowRecord& record, const RECT& rect);
// Returns what waits to be presented on the window and empties it; nothing for a window without a
// record. Takes the lock itself.
std::vector<RECT> TakeDirty(HWND window);

// The window's pixels move into memory of the backend's (of the surface's size and layout), or
// back into memory of the record's own. False when the record's own memory cannot be had. The
// lock must be held.
void LendPixels(WindowRecord& record, std::uint32_t* memory);
bool ReclaimPixels(WindowRecord& record);

}  // namespace platform::display
