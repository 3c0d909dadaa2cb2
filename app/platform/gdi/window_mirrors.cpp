// Window mirrors and the drawing logs of device bitmaps.
#include "platform/gdi/window_mirrors.h"

#include <algorithm>
#include <unordered_map>

#include "platform/gdi/gdi_objects.h"
#include "platform/internal/rects.h"

namespace platform::gdi {
namespace {

// Drawings remembered per device bitmap; a refresh makes about five between two copies.
constexpr std::size_t kLoggedDrawings = 32;
// Drawings on a mirroring window beside the copies (a lamp drawn on top) before it stops
// mirroring.
constexpr std::size_t kDrawingsOverMirror = 16;

struct Mirror {
  HBITMAP source;
  RECT area;
  int source_x, source_y;
  std::uint64_t drawings_seen;
  std::vector<RECT> drawn_over;
};

std::unordered_map<HWND, Mirror>& Mirrors() {
  static std::unordered_map<HWND, Mirror> mirrors;
  return mirrors;
}

// A new virtual run may number its windows as the last one did.
const bool forget_at_run_end = [] {
  AddRunEndHandler([] {
    std::lock_guard<std::mutex> hold(GdiLock());
    Mirrors().clear();
  });
  return true;
}();

bool Covers(const RECT& outer, const RECT& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

bool SameRect(const RECT& a, const RECT& b) { return Covers(a, b) && Covers(b, a); }

bool IsDeviceBitmap(const Pixels& pixels) {
  return pixels.bitmap_record && pixels.bitmap_record->device;
}

// A drawing on a window beside the copies its mirror accounts for.
void DrawOver(HWND window, const RECT& rect) {
  const auto found = Mirrors().find(window);
  if (found == Mirrors().end()) return;
  std::vector<RECT>& drawn_over = found->second.drawn_over;
  if (drawn_over.size() == kDrawingsOverMirror) {
    Mirrors().erase(found);
  } else {
    drawn_over.push_back(rect);
  }
}

}  // namespace

void NoteDrawing(const Pixels& pixels, const RECT& rect) {
  if (RectIsEmpty(rect)) return;
  if (pixels.window) {
    DisplayMarkDirty(pixels.window, rect);
    DrawOver(pixels.window, rect);
    return;
  }
  if (!IsDeviceBitmap(pixels)) return;
  Bitmap& bitmap = *pixels.bitmap_record;
  ++bitmap.drawings;
  bitmap.recent_drawings.push_back(rect);
  if (bitmap.recent_drawings.size() > kLoggedDrawings) bitmap.recent_drawings.pop_front();
}

std::vector<RECT> RectsThatMayChange(const Pixels& window, const Pixels& source, const RECT& area,
                                     int source_x, int source_y) {
  const auto found = Mirrors().find(window.window);
  if (found == Mirrors().end() || !IsDeviceBitmap(source)) return {area};
  const Mirror& mirror = found->second;
  const Bitmap& bitmap = *source.bitmap_record;
  const std::uint64_t unseen = bitmap.drawings - mirror.drawings_seen;
  if (mirror.source != source.bitmap || !SameRect(mirror.area, area) ||
      mirror.source_x != source_x || mirror.source_y != source_y ||
      unseen > bitmap.recent_drawings.size()) {
    return {area};
  }
  std::vector<RECT> rects;
  const LONG shift_x = area.left - source_x, shift_y = area.top - source_y;
  for (auto drawing = bitmap.recent_drawings.end() - static_cast<std::ptrdiff_t>(unseen);
       drawing != bitmap.recent_drawings.end(); ++drawing) {
    const RECT moved{drawing->left + shift_x, drawing->top + shift_y, drawing->right + shift_x,
                     drawing->bottom + shift_y};
    const RECT inside = RectIntersection(moved, area);
    if (!RectIsEmpty(inside)) rects.push_back(inside);
  }
  for (const RECT& drawn : mirror.drawn_over) {
    const RECT inside = RectIntersection(drawn, area);
    if (!RectIsEmpty(inside)) rects.push_back(inside);
  }
  return rects;
}

void NoteCopied(const Pixels& window, const Pixels& source, const RECT& area, int source_x,
                int source_y) {
  const auto found = Mirrors().find(window.window);
  const bool covers_mirror = found == Mirrors().end() || Covers(area, found->second.area);
  if (IsDeviceBitmap(source) && covers_mirror) {
    Mirrors()[window.window] =
        Mirror{source.bitmap, area, source_x, source_y, source.bitmap_record->drawings, {}};
  } else if (covers_mirror) {
    if (found != Mirrors().end()) Mirrors().erase(found);
  } else {
    DrawOver(window.window, area);
  }
}

}  // namespace platform::gdi
