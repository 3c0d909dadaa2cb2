// The buffers the screen scans out: dumb buffers of the mode's size in XRGB8888, mapped into our
// memory, drawn from the screen's layers only where they are stale. Start reading at CommitScreen.
// A driver that takes DIRTYFB (it answers a first one at the mode set) is told of the changed
// rectangles of its one buffer; any other gets the back buffer through a page flip, one at a time,
// the changes in between waiting for the flip to complete.
#include <sys/mman.h>
#include <xf86drm.h>

#include <cerrno>
#include <cstring>

#include "platform/display/drm/drm_state.h"

namespace platform::display::drm {
namespace {

bool CreateBuffer(DumbBuffer* buffer) {
  DrmDisplay& display = Drm();
  drm_mode_create_dumb create{};
  create.width = static_cast<std::uint32_t>(display.width);
  create.height = static_cast<std::uint32_t>(display.height);
  create.bpp = 32;
  if (drmIoctl(display.card, DRM_IOCTL_MODE_CREATE_DUMB, &create) != 0) return false;
  buffer->handle = create.handle;
  buffer->pitch = create.pitch;
  buffer->bytes = create.size;
  if (drmModeAddFB(display.card, create.width, create.height, 24, 32, create.pitch, create.handle,
                   &buffer->framebuffer) != 0) {
    return false;
  }
  drm_mode_map_dumb map{};
  map.handle = create.handle;
  if (drmIoctl(display.card, DRM_IOCTL_MODE_MAP_DUMB, &map) != 0) return false;
  void* mapped = mmap(nullptr, buffer->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, display.card,
                      static_cast<off_t>(map.offset));
  if (mapped == MAP_FAILED) return false;
  buffer->pixels = static_cast<std::uint32_t*>(mapped);
  return true;
}

void DestroyBuffer(DumbBuffer* buffer) {
  const int card = Drm().card;
  if (buffer->pixels) munmap(buffer->pixels, buffer->bytes);
  if (buffer->framebuffer) drmModeRmFB(card, buffer->framebuffer);
  if (buffer->handle) {
    drm_mode_destroy_dumb destroy{};
    destroy.handle = buffer->handle;
    drmIoctl(card, DRM_IOCTL_MODE_DESTROY_DUMB, &destroy);
  }
  *buffer = DumbBuffer{};
}

// Brings the buffer up to date where it is stale.
void DrawStale(int index) {
  DrmDisplay& display = Drm();
  const std::vector<RECT> stale = TakeStale(display.scanout, index);
  if (stale.empty()) return;
  const DumbBuffer& buffer = display.buffers[index];
  const std::vector<ScreenLayer> layers = ScreenLayers();
  const int stride = static_cast<int>(buffer.pitch / sizeof(std::uint32_t));
  for (const RECT& rect : stale) ComposeScreen(layers, buffer.pixels, stride, rect);
}

void FlipCompletedOnCard(int, unsigned, unsigned, unsigned, void* generation) {
  DrmDisplay& display = Drm();
  if (reinterpret_cast<std::uintptr_t>(generation) != display.flip_generation) return;
  FlipCompleted(display.scanout);
  CommitScreen();
}

bool TellDirtyRects(const std::vector<RECT>& rects) {
  DrmDisplay& display = Drm();
  std::vector<drmModeClip> clips;
  for (const RECT& rect : rects) {
    clips.push_back(drmModeClip{
        static_cast<unsigned short>(rect.left), static_cast<unsigned short>(rect.top),
        static_cast<unsigned short>(rect.right), static_cast<unsigned short>(rect.bottom)});
  }
  return drmModeDirtyFB(display.card, display.buffers[display.scanout.front].framebuffer,
                        clips.data(), static_cast<std::uint32_t>(clips.size())) == 0;
}

}  // namespace

bool CreateBuffers(std::string* why_not) {
  DrmDisplay& display = Drm();
  ResetScanout(display.scanout, Scanout::PageFlips, display.width, display.height);
  for (DumbBuffer& buffer : display.buffers) {
    if (!CreateBuffer(&buffer)) {
      *why_not = std::string("its buffers cannot be had (") + std::strerror(errno) + ")";
      DestroyBuffers();
      return false;
    }
  }
  return true;
}

bool ShowWholeScreen() {
  DrmDisplay& display = Drm();
  ResumeScanout(display.scanout);
  DrawStale(display.scanout.front);
  TakeUnshown(display.scanout);
  display.mode_lost = !ShowFrontBuffer();
  return !display.mode_lost;
}

// A driver that answers DIRTYFB with anything but "not supported" copies from the buffer when
// told: drawing in place is safe there, and a flip would copy the whole screen each time.
bool StartScanout(std::string* why_not) {
  DrmDisplay& display = Drm();
  if (!ShowWholeScreen()) {
    *why_not = std::string("it refuses the mode (") + std::strerror(errno) + ")";
    return false;
  }
  if (drmModeDirtyFB(display.card, display.buffers[0].framebuffer, nullptr, 0) != -ENOSYS) {
    UseDirtyRects(display.scanout);
    DestroyBuffer(&display.buffers[1]);
  }
  return true;
}

void DestroyBuffers() {
  for (DumbBuffer& buffer : Drm().buffers) DestroyBuffer(&buffer);
}

void ScreenChanged(const RECT& rect) {
  AddScreenDamage(Drm().scanout, rect);
  CommitScreen();
}

void ScreenChangedWhole() {
  const DrmDisplay& display = Drm();
  ScreenChanged(RECT{0, 0, display.width, display.height});
}

void CommitScreen() {
  DrmDisplay& display = Drm();
  ScanoutBuffers& scanout = display.scanout;
  if (!ReadyToCommit(scanout)) return;
  if (display.mode_lost) {
    ShowWholeScreen();
    return;
  }
  const int index = BufferToDraw(scanout);
  DrawStale(index);
  const std::vector<RECT> changed = TakeUnshown(scanout);
  if (scanout.kind == Scanout::DirtyRects) {
    TellDirtyRects(changed);
    return;
  }
  const auto generation = static_cast<std::uintptr_t>(display.flip_generation);
  if (drmModePageFlip(display.card, display.crtc, display.buffers[index].framebuffer,
                      DRM_MODE_PAGE_FLIP_EVENT, reinterpret_cast<void*>(generation)) == 0) {
    FlipQueued(scanout);
  } else {
    // Not shown: the buffer stays drawn, and the rectangles wait for the next change or resume.
    for (const RECT& rect : changed) AddScreenDamage(scanout, rect);
  }
}

void DispatchCardEvents() {
  drmEventContext context{};
  context.version = 2;
  context.page_flip_handler = FlipCompletedOnCard;
  drmHandleEvent(Drm().card, &context);
}

}  // namespace platform::display::drm
