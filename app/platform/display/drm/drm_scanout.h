// The bookkeeping of the buffers the screen shows, apart from the memory itself: what each buffer
// lacks (stale) and what changed since the screen last took a buffer (unshown), so that only the
// changed rectangles are drawn, each buffer catching up on what changed while the other was shown.
//
// With page flips there are two buffers: the back one is drawn and flipped to while the front one
// is scanned out, and no flip is asked for while one is pending. A driver that wants to be told of
// changed rectangles (DIRTYFB: virtio-gpu, and every driver whose screen is a copy of the buffer)
// scans one buffer out for good, drawn in place and told of each change. While the seat is taken
// from us (a switch to another virtual terminal) nothing is committed; on return every buffer is
// stale in whole and the screen is drawn again.
#pragma once

#include <vector>

#include "platform/win32.h"

namespace platform::display::drm {

enum class Scanout { PageFlips, DirtyRects };

struct ScanoutBuffers {
  Scanout kind = Scanout::PageFlips;
  int width = 0;
  int height = 0;
  int front = 0;  // the buffer on the screen
  bool flip_pending = false;
  bool paused = false;
  std::vector<RECT> stale[2];
  std::vector<RECT> unshown;
};

// Every buffer stale in whole, the front one (0) on the screen.
void ResetScanout(ScanoutBuffers& scanout, Scanout kind, int width, int height);
// The driver copies from one buffer when told of changed rectangles: buffer 0, already shown,
// stays on the screen for good.
void UseDirtyRects(ScanoutBuffers& scanout);
// A screen rectangle changed.
void AddScreenDamage(ScanoutBuffers& scanout, const RECT& rect);
// The buffer the next commit draws into: the back one with page flips, else the only one.
int BufferToDraw(const ScanoutBuffers& scanout);
// Something changed and the screen may take it now.
bool ReadyToCommit(const ScanoutBuffers& scanout);
// What the buffer lacks, to draw now; it lacks nothing afterwards.
std::vector<RECT> TakeStale(ScanoutBuffers& scanout, int buffer);
// What changed since the last commit, to tell the driver; empty afterwards.
std::vector<RECT> TakeUnshown(ScanoutBuffers& scanout);
void FlipQueued(ScanoutBuffers& scanout);
// The back buffer is on the screen now.
void FlipCompleted(ScanoutBuffers& scanout);
void PauseScanout(ScanoutBuffers& scanout);
// Back from a pause: the screen may show anything, so every buffer is drawn again in whole.
void ResumeScanout(ScanoutBuffers& scanout);

}  // namespace platform::display::drm
