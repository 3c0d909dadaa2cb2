// The buffers' bookkeeping. Rectangles that overlap merge; past a handful, the one around them all
// stands for them, which costs a little more drawing and no lost change.
#include "platform/display/drm/drm_scanout.h"

#include <algorithm>
#include <utility>

#include "platform/display/window_surfaces.h"
#include "platform/internal/rects.h"

namespace platform::display::drm {
namespace {

constexpr std::size_t kMostRects = 8;

bool Overlap(const RECT& a, const RECT& b) { return !RectIsEmpty(RectIntersection(a, b)); }

// Keeps the rectangles apart from each other, so that no pixel is drawn twice in one commit.
void Merge(std::vector<RECT>& rects, RECT rect) {
  for (auto each = rects.begin(); each != rects.end();) {
    if (Overlap(*each, rect)) {
      rect = RectAround(rect, *each);
      rects.erase(each);
      each = rects.begin();
    } else {
      ++each;
    }
  }
  rects.push_back(rect);
  if (rects.size() <= kMostRects) return;
  RECT around = rects.front();
  for (const RECT& each : rects) around = RectAround(around, each);
  rects.assign(1, around);
}

int BufferCount(const ScanoutBuffers& scanout) {
  return scanout.kind == Scanout::PageFlips ? 2 : 1;
}

}  // namespace

void ResetScanout(ScanoutBuffers& scanout, Scanout kind, int width, int height) {
  scanout = ScanoutBuffers{};
  scanout.kind = kind;
  scanout.width = width;
  scanout.height = height;
  ResumeScanout(scanout);
}

void UseDirtyRects(ScanoutBuffers& scanout) {
  scanout.kind = Scanout::DirtyRects;
  scanout.front = 0;
  scanout.flip_pending = false;
  scanout.stale[1].clear();
}

void AddScreenDamage(ScanoutBuffers& scanout, const RECT& rect) {
  const RECT clipped{std::max<LONG>(rect.left, 0), std::max<LONG>(rect.top, 0),
                     std::min<LONG>(rect.right, scanout.width),
                     std::min<LONG>(rect.bottom, scanout.height)};
  if (RectIsEmpty(clipped)) return;
  for (int buffer = 0; buffer < BufferCount(scanout); ++buffer) {
    Merge(scanout.stale[buffer], clipped);
  }
  Merge(scanout.unshown, clipped);
}

int BufferToDraw(const ScanoutBuffers& scanout) {
  return scanout.kind == Scanout::PageFlips ? 1 - scanout.front : scanout.front;
}

bool ReadyToCommit(const ScanoutBuffers& scanout) {
  return !scanout.paused && !scanout.flip_pending && !scanout.unshown.empty();
}

std::vector<RECT> TakeStale(ScanoutBuffers& scanout, int buffer) {
  return std::exchange(scanout.stale[buffer], {});
}

std::vector<RECT> TakeUnshown(ScanoutBuffers& scanout) {
  return std::exchange(scanout.unshown, {});
}

void FlipQueued(ScanoutBuffers& scanout) { scanout.flip_pending = true; }

void FlipCompleted(ScanoutBuffers& scanout) {
  if (!scanout.flip_pending) return;
  scanout.flip_pending = false;
  scanout.front = 1 - scanout.front;
}

void PauseScanout(ScanoutBuffers& scanout) { scanout.paused = true; }

void ResumeScanout(ScanoutBuffers& scanout) {
  scanout.paused = false;
  // A flip asked for before the pause may never complete.
  scanout.flip_pending = false;
  for (auto& stale : scanout.stale) stale.clear();
  scanout.unshown.clear();
  AddScreenDamage(scanout, RECT{0, 0, scanout.width, scanout.height});
}

}  // namespace platform::display::drm
