// The display's record of every window: its 32-bit surface, screen rectangle, visibility, the
// rectangle drawn since the last present, and the stacking order of the top-level windows. Both
// backends keep their pixels here; the backend only shows them.
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

struct WindowRecord {
  HWND handle = nullptr;
  RECT rect{};  // screen position; the surface has its size
  bool top_level = false;
  bool visible = false;
  int width = 0;
  int height = 0;
  std::unique_ptr<std::uint32_t[]> pixels;
  RECT dirty{};  // empty when nothing waits to be presented
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

// Grows the window's dirty rectangle by rect, clipped to the surface. The lock must be held.
void AddDirty(WindowRecord& record, const RECT& rect);
// Returns the dirty rectangle and empties it. The lock must be held.
RECT TakeDirty(WindowRecord& record);

bool RectIsEmpty(const RECT& rect);

}  // namespace platform::display
