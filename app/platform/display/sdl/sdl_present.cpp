// Presenting on SDL: software rectangle updates of what changed, straight from the SDL window's
// framebuffer when the window's surface lives there. A full-screen window on a screen of another
// size shows its picture scaled to fit (letterbox.h). Start reading at ShowRects.
#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>

#include "platform/display/letterbox.h"
#include "platform/display/sdl/sdl_state.h"
#include "platform/display/window_surfaces.h"
#include "platform/internal/rects.h"

namespace platform::display::sdl {
namespace {

// Whether SDL still holds each window's framebuffer as last returned. Any change of size (even
// back to the same size, as a window manager's placing or a full-screen switch does) invalidates
// it, and the next SDL_GetWindowSurface frees it: pixels lent to it must move out before that.
std::map<SDL_Window*, bool> framebuffer_valid;

std::map<HWND, Letterbox> placements;

bool SameLayout(const SDL_Surface& framebuffer, const WindowRecord& record) {
  return framebuffer.format->format == SDL_PIXELFORMAT_XRGB8888 && framebuffer.w == record.width &&
         framebuffer.h == record.height && framebuffer.pitch == record.width * 4;
}

// The SDL window's framebuffer. When it has the layout of our surfaces it holds the window's
// pixels itself, and showing a rectangle is only telling SDL which one. The surfaces lock must be
// held.
SDL_Surface* Framebuffer(WindowRecord& record, SDL_Window* sdl_window) {
  if (!record.own_pixels && !framebuffer_valid[sdl_window] && !ReclaimPixels(record)) {
    return nullptr;
  }
  SDL_Surface* framebuffer = SDL_GetWindowSurface(sdl_window);
  framebuffer_valid[sdl_window] = framebuffer != nullptr;
  if (framebuffer && SameLayout(*framebuffer, record)) {
    LendPixels(record, static_cast<std::uint32_t*>(framebuffer->pixels));
  }
  return framebuffer;
}

// Where the picture of a window lands when the screen gives it another size (full screen): null
// when it is shown at its own size.
const Letterbox* PlacementOf(HWND window, int picture_width, int picture_height, int area_width,
                             int area_height) {
  if (area_width == picture_width && area_height == picture_height) {
    placements.erase(window);
    return nullptr;
  }
  Letterbox& placement = placements[window];
  if (placement.picture_width != picture_width || placement.picture_height != picture_height ||
      placement.area_width != area_width || placement.area_height != area_height) {
    placement = FitPicture(picture_width, picture_height, area_width, area_height);
  }
  return &placement;
}

// Draws the part of the screen that shows a rectangle of the picture (all of it, bars included,
// for the whole picture) and returns it.
RECT DrawScaled(const Letterbox& placement, const std::uint32_t* picture, const SDL_Surface& target,
                const RECT& rect) {
  const bool whole = rect.left <= 0 && rect.top <= 0 && rect.right >= placement.picture_width &&
                     rect.bottom >= placement.picture_height;
  const RECT area = whole ? RECT{0, 0, placement.area_width, placement.area_height}
                          : AreaOfPictureRect(placement, rect);
  const Uint32 format = target.format->format;
  if (format == SDL_PIXELFORMAT_XRGB8888 || format == SDL_PIXELFORMAT_ARGB8888) {
    DrawLetterboxed(placement, picture, static_cast<std::uint32_t*>(target.pixels),
                    target.pitch / 4, area);
    return area;
  }
  static std::vector<std::uint32_t> scratch;
  scratch.resize(static_cast<std::size_t>(placement.area_width) * placement.area_height);
  DrawLetterboxed(placement, picture, scratch.data(), placement.area_width, area);
  SDL_ConvertPixels(
      area.right - area.left, area.bottom - area.top, SDL_PIXELFORMAT_XRGB8888,
      scratch.data() + static_cast<std::size_t>(area.top) * placement.area_width + area.left,
      placement.area_width * 4, format,
      static_cast<std::uint8_t*>(target.pixels) +
          static_cast<std::size_t>(area.top) * target.pitch +
          static_cast<std::size_t>(area.left) * target.format->BytesPerPixel,
      target.pitch);
  return area;
}

// Copies a rectangle of the picture into a framebuffer of another layout.
void CopyConverted(const WindowRecord& record, SDL_Surface& framebuffer, const RECT& rect) {
  const std::uint32_t* source =
      record.pixels + static_cast<std::size_t>(rect.top) * record.width + rect.left;
  auto* destination = static_cast<std::uint8_t*>(framebuffer.pixels) +
                      static_cast<std::size_t>(rect.top) * framebuffer.pitch +
                      static_cast<std::size_t>(rect.left) * framebuffer.format->BytesPerPixel;
  SDL_ConvertPixels(rect.right - rect.left, rect.bottom - rect.top, SDL_PIXELFORMAT_XRGB8888,
                    source, record.width * 4, framebuffer.format->format, destination,
                    framebuffer.pitch);
}

}  // namespace

// SDL calls this as it queues each event, on the thread that queues it (the display thread for
// window events), while an invalidated framebuffer still exists.
int NoteInvalidFramebuffer(void*, SDL_Event* event) {
  if (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
    if (SDL_Window* sdl_window = SDL_GetWindowFromID(event->window.windowID)) {
      framebuffer_valid[sdl_window] = false;
    }
  }
  return 0;
}

void AdoptFramebuffer(HWND window, SDL_Window* sdl_window) {
  std::lock_guard<std::mutex> hold(SurfacesLock());
  if (WindowRecord* record = FindWindowRecord(window)) Framebuffer(*record, sdl_window);
}

// Copies the rectangles into the framebuffer first unless it holds the pixels already, or draws
// them scaled to the screen.
bool ShowRects(HWND window, SDL_Window* sdl_window, const std::vector<RECT>& rects) {
  std::vector<SDL_Rect> shown;
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    WindowRecord* record = FindWindowRecord(window);
    if (!record) return false;
    SDL_Surface* framebuffer = Framebuffer(*record, sdl_window);
    if (!framebuffer) return false;
    const Letterbox* placement =
        PlacementOf(window, record->width, record->height, framebuffer->w, framebuffer->h);
    for (RECT rect : rects) {
      if (placement) {
        rect = DrawScaled(*placement, record->pixels, *framebuffer, rect);
      } else {
        rect = RectIntersection(rect, RECT{0, 0, std::min(record->width, framebuffer->w),
                                           std::min(record->height, framebuffer->h)});
        if (!RectIsEmpty(rect) && framebuffer->pixels != record->pixels) {
          CopyConverted(*record, *framebuffer, rect);
        }
      }
      if (RectIsEmpty(rect)) continue;
      shown.push_back(
          SDL_Rect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top});
    }
  }
  if (shown.empty()) return false;
  return SDL_UpdateWindowSurfaceRects(sdl_window, shown.data(), static_cast<int>(shown.size())) ==
         0;
}

void ShowWhole(HWND window, SDL_Window* sdl_window) {
  ShowRects(window, sdl_window, {RECT{0, 0, kMaxWindowSide, kMaxWindowSide}});
}

// The framebuffer goes with the SDL window; a record that outlives it keeps its pixels.
void ForgetFramebuffer(HWND window, SDL_Window* sdl_window) {
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    if (WindowRecord* record = FindWindowRecord(window)) ReclaimPixels(*record);
  }
  framebuffer_valid.erase(sdl_window);
  placements.erase(window);
}

}  // namespace platform::display::sdl
