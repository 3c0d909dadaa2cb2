// The window records of the display and their stacking order.
#include "platform/display/window_surfaces.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/internal/rects.h"

namespace platform::display {
namespace {

std::map<HWND, std::unique_ptr<WindowRecord>>& Records() {
  static std::map<HWND, std::unique_ptr<WindowRecord>> records;
  return records;
}

// Top-level windows, bottom of the stack first.
std::vector<HWND>& Stack() {
  static std::vector<HWND> stack;
  return stack;
}

int ClampedSide(LONG from, LONG to) {
  const long long side = static_cast<long long>(to) - from;
  return static_cast<int>(std::clamp<long long>(side, 0, kMaxWindowSide));
}

std::size_t PixelCount(const WindowRecord& record) {
  return static_cast<std::size_t>(record.width) * record.height;
}

// A new window shows black until it is drawn, as the black background brush would paint it.
std::uint32_t* BlackPixels(std::size_t count) {
  return static_cast<std::uint32_t*>(std::calloc(count == 0 ? 1 : count, sizeof(std::uint32_t)));
}

bool Touch(const RECT& a, const RECT& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace

void FreePixels::operator()(std::uint32_t* pixels) const { std::free(pixels); }

std::mutex& SurfacesLock() {
  static std::mutex lock;
  return lock;
}

WindowRecord* AddWindowRecord(HWND window, const RECT& rect, bool top_level) {
  auto record = std::make_unique<WindowRecord>();
  record->handle = window;
  record->rect = rect;
  record->top_level = top_level;
  record->width = ClampedSide(rect.left, rect.right);
  record->height = ClampedSide(rect.top, rect.bottom);
  record->own_pixels.reset(BlackPixels(PixelCount(*record)));
  if (!record->own_pixels) return nullptr;
  record->pixels = record->own_pixels.get();
  RemoveWindowRecord(window);
  WindowRecord* added = record.get();
  Records()[window] = std::move(record);
  if (top_level) Stack().push_back(window);
  return added;
}

WindowRecord* FindWindowRecord(HWND window) {
  const auto found = Records().find(window);
  return found == Records().end() ? nullptr : found->second.get();
}

void RemoveWindowRecord(HWND window) {
  Records().erase(window);
  auto& stack = Stack();
  stack.erase(std::remove(stack.begin(), stack.end(), window), stack.end());
}

void RaiseWindowRecord(HWND window) {
  auto& stack = Stack();
  const auto found = std::find(stack.begin(), stack.end(), window);
  if (found == stack.end()) return;
  std::rotate(found, found + 1, stack.end());
}

void ForEachVisibleTopLevel(const std::function<void(const WindowRecord&)>& visit) {
  for (HWND window : Stack()) {
    const WindowRecord* record = FindWindowRecord(window);
    if (record && record->visible) visit(*record);
  }
}

void AddDirty(WindowRecord& record, const RECT& rect) {
  const RECT clipped = RectIntersection(rect, RECT{0, 0, record.width, record.height});
  if (RectIsEmpty(clipped)) return;
  std::vector<RECT>& dirty = record.dirty;
  if (!dirty.empty() && Touch(dirty.back(), clipped)) {
    dirty.back() = RectAround(dirty.back(), clipped);
  } else if (dirty.size() < kMaxDirtyRects) {
    dirty.push_back(clipped);
  } else {
    RECT around = clipped;
    for (const RECT& waiting : dirty) around = RectAround(around, waiting);
    dirty.assign(1, around);
  }
}

std::vector<RECT> TakeDirty(HWND window) {
  std::vector<RECT> taken;
  std::lock_guard<std::mutex> hold(SurfacesLock());
  if (WindowRecord* record = FindWindowRecord(window)) taken.swap(record->dirty);
  return taken;
}

void LendPixels(WindowRecord& record, std::uint32_t* memory) {
  if (memory == record.pixels) return;
  std::memcpy(memory, record.pixels, PixelCount(record) * sizeof(std::uint32_t));
  record.pixels = memory;
  record.own_pixels.reset();
}

bool ReclaimPixels(WindowRecord& record) {
  if (record.own_pixels) return true;
  std::unique_ptr<std::uint32_t, FreePixels> own(BlackPixels(PixelCount(record)));
  if (!own) return false;
  std::memcpy(own.get(), record.pixels, PixelCount(record) * sizeof(std::uint32_t));
  record.own_pixels = std::move(own);
  record.pixels = record.own_pixels.get();
  return true;
}

}  // namespace platform::display
