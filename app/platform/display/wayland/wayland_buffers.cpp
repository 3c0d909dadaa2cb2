// The pixels the compositor reads: shared-memory XRGB8888 buffers of the toplevel's area size,
// two of them, so that one can be drawn while the compositor still reads the other. Start reading
// at CommitChanges. A buffer is brought up to date only where it is stale (what changed since it
// was last drawn), and a commit damages only what changed since the previous commit.
//
// Shared memory that cannot be had (memfd_create, ftruncate or mmap failing) leaves the damage
// where it is: said once, and tried again at the next redraw.
//
// No frame callback paces the commits: the panel redraws a few times a second at most, and a
// compositor that stops repainting (an output switched off) would never send one, leaving the
// window with an old picture for good.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/diagnostics.h"
#include "platform/display/wayland/wayland_state.h"
#include "platform/display/window_surfaces.h"
#include "platform/internal/rects.h"

namespace platform::display::wayland {
namespace {

constexpr int kBuffersPerToplevel = 2;
// Beyond this many rectangles, the one around them all is used instead.
constexpr std::size_t kMostRects = 8;

void AddRect(std::vector<RECT>& rects, const RECT& rect) {
  rects.push_back(rect);
  if (rects.size() <= kMostRects) return;
  RECT around = rect;
  for (const RECT& each : rects) around = RectAround(around, each);
  rects.assign(1, around);
}

void FreeBuffer(Buffer* buffer) {
  if (buffer->handle) wl_buffer_destroy(buffer->handle);
  if (buffer->pixels) munmap(buffer->pixels, buffer->bytes);
}

void EraseBuffer(Toplevel* toplevel, Buffer* buffer) {
  FreeBuffer(buffer);
  auto& buffers = toplevel->buffers;
  buffers.erase(std::find_if(buffers.begin(), buffers.end(),
                             [buffer](const auto& owned) { return owned.get() == buffer; }));
}

void BufferReleased(void* data, wl_buffer*) {
  auto* buffer = static_cast<Buffer*>(data);
  buffer->held_by_compositor = false;
  Toplevel* toplevel = buffer->owner;
  if (buffer->retired) {
    EraseBuffer(toplevel, buffer);
  } else {
    // A commit may have waited for a buffer to draw in.
    CommitChanges(toplevel);
  }
}

const wl_buffer_listener kBufferListener = {BufferReleased};

Buffer* NoBuffer(Toplevel* toplevel, std::size_t bytes, const char* failed_call) {
  if (!toplevel->buffer_failure_said) {
    LogLine(LogPriority::Error, "no shared memory for \"" + toplevel->title + "\" (" +
                                    std::to_string(bytes) + " bytes, " + failed_call + ": " +
                                    std::strerror(errno) + "); trying again at the next redraw");
    toplevel->buffer_failure_said = true;
  }
  return nullptr;
}

Buffer* CreateBuffer(Toplevel* toplevel) {
  const int width = toplevel->letterbox.area_width;
  const int height = toplevel->letterbox.area_height;
  const int stride = width * 4;
  const std::size_t bytes = static_cast<std::size_t>(stride) * height;
  const int memory = memfd_create("quelt-window", MFD_CLOEXEC);
  if (memory < 0) return NoBuffer(toplevel, bytes, "memfd_create");
  void* mapped = MAP_FAILED;
  const bool sized = ftruncate(memory, static_cast<off_t>(bytes)) == 0;
  if (sized) mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, memory, 0);
  if (mapped == MAP_FAILED) {
    const int error = errno;
    close(memory);
    errno = error;
    return NoBuffer(toplevel, bytes, sized ? "mmap" : "ftruncate");
  }
  toplevel->buffer_failure_said = false;
  wl_shm_pool* pool = wl_shm_create_pool(Wayland().shm, memory, static_cast<std::int32_t>(bytes));
  auto buffer = std::make_unique<Buffer>();
  buffer->owner = toplevel;
  buffer->pixels = static_cast<std::uint32_t*>(mapped);
  buffer->bytes = bytes;
  buffer->width = width;
  buffer->height = height;
  buffer->handle =
      wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
  // The buffer keeps the pool's memory alive on both sides.
  wl_shm_pool_destroy(pool);
  close(memory);
  wl_buffer_add_listener(buffer->handle, &kBufferListener, buffer.get());
  buffer->stale.assign(1, RECT{0, 0, width, height});
  toplevel->buffers.push_back(std::move(buffer));
  return toplevel->buffers.back().get();
}

Buffer* BufferToDrawIn(Toplevel* toplevel) {
  int live = 0;
  for (const auto& buffer : toplevel->buffers) {
    if (buffer->retired) continue;
    if (!buffer->held_by_compositor) return buffer.get();
    ++live;
  }
  return live < kBuffersPerToplevel ? CreateBuffer(toplevel) : nullptr;
}

void DamageArea(Toplevel* toplevel, const RECT& rect) {
  if (RectIsEmpty(rect)) return;
  AddRect(toplevel->damage, rect);
  for (auto& buffer : toplevel->buffers) AddRect(buffer->stale, rect);
}

}  // namespace

void ResizeArea(Toplevel* toplevel, int width, int height) {
  toplevel->letterbox =
      FitPicture(toplevel->picture_width, toplevel->picture_height, width, height);
  toplevel->damage.clear();
  std::vector<Buffer*> idle;
  for (auto& buffer : toplevel->buffers) {
    buffer->retired = true;
    if (!buffer->held_by_compositor) idle.push_back(buffer.get());
  }
  for (Buffer* buffer : idle) EraseBuffer(toplevel, buffer);
  DamageArea(toplevel, RECT{0, 0, width, height});
}

void PresentPictureRects(Toplevel* toplevel, const std::vector<RECT>& rects) {
  if (!toplevel->configured) return;
  for (const RECT& rect : rects) DamageArea(toplevel, AreaOfPictureRect(toplevel->letterbox, rect));
  CommitChanges(toplevel);
}

// Shows what changed, unless both buffers are still being read: a release calls this again.
void CommitChanges(Toplevel* toplevel) {
  if (!toplevel->configured || toplevel->damage.empty()) return;
  const std::uint32_t* picture = PictureOf(*toplevel);
  if (!picture) return;
  Buffer* buffer = BufferToDrawIn(toplevel);
  if (!buffer) return;
  for (const RECT& rect : buffer->stale) {
    DrawLetterboxed(toplevel->letterbox, picture, buffer->pixels, buffer->width, rect);
  }
  buffer->stale.clear();
  wl_surface_attach(toplevel->surface, buffer->handle, 0, 0);
  for (const RECT& rect : toplevel->damage) {
    wl_surface_damage_buffer(toplevel->surface, rect.left, rect.top, rect.right - rect.left,
                             rect.bottom - rect.top);
  }
  toplevel->damage.clear();
  wl_surface_commit(toplevel->surface);
  buffer->held_by_compositor = true;
  toplevel->mapped = true;
}

void DestroyBuffers(Toplevel* toplevel) {
  for (auto& buffer : toplevel->buffers) FreeBuffer(buffer.get());
  toplevel->buffers.clear();
}

}  // namespace platform::display::wayland
