// The window records of the display and their stacking order.
#include "platform/display/window_surfaces.h"

#include <algorithm>
#include <map>
#include <new>

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

}  // namespace

std::mutex& SurfacesLock() {
  static std::mutex lock;
  return lock;
}

bool RectIsEmpty(const RECT& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

WindowRecord* AddWindowRecord(HWND window, const RECT& rect, bool top_level) {
  auto record = std::make_unique<WindowRecord>();
  record->handle = window;
  record->rect = rect;
  record->top_level = top_level;
  record->width = ClampedSide(rect.left, rect.right);
  record->height = ClampedSide(rect.top, rect.bottom);
  const std::size_t count = static_cast<std::size_t>(record->width) * record->height;
  // A new window shows black until it is drawn, as the black background brush would paint it.
  record->pixels.reset(new (std::nothrow) std::uint32_t[count == 0 ? 1 : count]());
  if (!record->pixels) return nullptr;
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
  const RECT clipped{std::max<LONG>(rect.left, 0), std::max<LONG>(rect.top, 0),
                     std::min<LONG>(rect.right, record.width),
                     std::min<LONG>(rect.bottom, record.height)};
  if (RectIsEmpty(clipped)) return;
  RECT& dirty = record.dirty;
  if (RectIsEmpty(dirty)) {
    dirty = clipped;
    return;
  }
  dirty = RECT{std::min(dirty.left, clipped.left), std::min(dirty.top, clipped.top),
               std::max(dirty.right, clipped.right), std::max(dirty.bottom, clipped.bottom)};
}

RECT TakeDirty(WindowRecord& record) {
  const RECT dirty = record.dirty;
  record.dirty = RECT{};
  return dirty;
}

}  // namespace platform::display
