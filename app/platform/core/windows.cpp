// Window classes and windows: creation and destruction with their WM_CREATE and WM_DESTROY,
// visibility, the update region that WM_PAINT answers, and the lookups the desktop and gdi use.
#include <algorithm>
#include <string>

#include "platform/core/core_state.h"
#include "platform/internal/module_interfaces.h"
#include "platform/testing.h"

namespace platform::core {

namespace {

// Window handles are even and never reused, so a stale handle names no window.
constexpr std::uintptr_t kWindowHandleBase = 0x10000000;

char16_t FoldCase(char16_t c) { return (c >= u'a' && c <= u'z') ? c - u'a' + u'A' : c; }

// Class names compare without regard to letter case, as Win32 compares them.
bool SameClassName(LPCWSTR a, LPCWSTR b) {
  for (; *a != 0 && FoldCase(*a) == FoldCase(*b); ++a, ++b) {
  }
  return FoldCase(*a) == FoldCase(*b);
}

// A class by name, or by atom given as MAKEINTRESOURCEW(atom).
const WindowClass* FindClassLocked(LPCWSTR name) {
  if (name == nullptr) return nullptr;
  for (const auto& window_class : Core().classes) {
    bool found =
        IS_INTRESOURCE(name)
            ? window_class->atom == static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name))
            : SameClassName(window_class->name, name);
    if (found) return window_class.get();
  }
  return nullptr;
}

RECT ClientRect(const Window& window) {
  return RECT{0, 0, window.rect.right - window.rect.left, window.rect.bottom - window.rect.top};
}

void AddToUpdateRegion(Window& window, const RECT& area) {
  RECT client = ClientRect(window);
  RECT clipped{std::max(area.left, client.left), std::max(area.top, client.top),
               std::min(area.right, client.right), std::min(area.bottom, client.bottom)};
  if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return;
  if (!window.has_update) {
    window.update = clipped;
    window.has_update = true;
  } else {
    window.update =
        RECT{std::min(window.update.left, clipped.left), std::min(window.update.top, clipped.top),
             std::max(window.update.right, clipped.right),
             std::max(window.update.bottom, clipped.bottom)};
  }
}

WindowInfo InfoOf(const Window& window) {
  return WindowInfo{window.handle,      window.window_class->name, window.title,
                    IsTopLevel(window), WindowShownLocked(window), window.rect,
                    window.owner_thread};
}

}  // namespace

}  // namespace platform::core

namespace platform {

using namespace core;

bool DescribeWindow(HWND handle, WindowInfo* info) {
  if (info == nullptr) return false;
  std::lock_guard<std::mutex> lock(Core().mutex);
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return false;
  *info = InfoOf(*window);
  return true;
}

void ForEachWindow(const std::function<void(const WindowInfo&)>& visit) {
  std::vector<WindowInfo> windows;
  {
    std::lock_guard<std::mutex> lock(Core().mutex);
    for (const auto& [value, window] : Core().windows) windows.push_back(InfoOf(window));
  }
  for (const WindowInfo& info : windows) visit(info);
}

bool TakeUpdateRegion(HWND handle, RECT* update) {
  std::lock_guard<std::mutex> lock(Core().mutex);
  Window* window = FindWindowLocked(handle);
  if (window == nullptr || !window->has_update) {
    if (update != nullptr) *update = RECT{0, 0, 0, 0};
    return false;
  }
  if (update != nullptr) *update = window->update;
  window->has_update = false;
  return true;
}

void ValidateWindow(HWND handle) { TakeUpdateRegion(handle, nullptr); }

}  // namespace platform

using namespace platform::core;

ATOM RegisterClassW(const WNDCLASSW* window_class) {
  if (window_class == nullptr || window_class->lpfnWndProc == nullptr ||
      window_class->lpszClassName == nullptr || IS_INTRESOURCE(window_class->lpszClassName)) {
    return 0;
  }
  std::lock_guard<std::mutex> lock(Core().mutex);
  CoreState& core = Core();
  if (FindClassLocked(window_class->lpszClassName) != nullptr || core.next_atom == 0) return 0;
  auto registered = std::make_unique<WindowClass>(
      WindowClass{Intern(window_class->lpszClassName), core.next_atom++, window_class->style,
                  window_class->lpfnWndProc, window_class->hIcon, window_class->hCursor,
                  window_class->hbrBackground});
  core.classes.push_back(std::move(registered));
  return core.classes.back()->atom;
}

HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  ThreadState* me = CurrentThread();
  if (me == nullptr) return nullptr;
  const bool top_level = parent == nullptr || (style & WS_CHILD) == 0;
  // A later start of a program that runs already gets no window of its own, not even in a race.
  if (top_level && !platform::DesktopAdmitsTopLevelWindow()) return nullptr;
  HWND handle = nullptr;
  RECT rect{};
  bool visible = false;
  {
    std::lock_guard<std::mutex> lock(Core().mutex);
    CoreState& core = Core();
    const WindowClass* window_class = FindClassLocked(class_name);
    Window* parent_window = parent != nullptr ? FindWindowLocked(parent) : nullptr;
    if (window_class == nullptr || (parent != nullptr && parent_window == nullptr)) return nullptr;
    LONG origin_x = parent_window != nullptr ? parent_window->rect.left : 0;
    LONG origin_y = parent_window != nullptr ? parent_window->rect.top : 0;
    rect = RECT{origin_x + x, origin_y + y, origin_x + x + std::max(width, 0),
                origin_y + y + std::max(height, 0)};
    handle = reinterpret_cast<HWND>(kWindowHandleBase + 2 * core.next_window_serial++);
    Window window{handle,
                  window_class,
                  Intern(title),
                  style,
                  rect,
                  parent_window != nullptr ? parent_window->handle : nullptr,
                  me,
                  std::this_thread::get_id()};
    window.visible = (style & WS_VISIBLE) != 0;
    if (window.visible) AddToUpdateRegion(window, ClientRect(window));
    visible = window.visible;
    core.windows.emplace(reinterpret_cast<std::uintptr_t>(handle), window);
  }
  if (TraceRecording()) {
    platform::TraceEvent("CreateWindowExW " + ClassNameOf(handle) + " " +
                         platform::Utf8FromWide(title));
  }
  platform::DisplayWindowCreated(handle, rect, top_level);
  if (visible) platform::DisplayWindowShown(handle, true);

  CREATESTRUCTW create{param,
                       instance,
                       menu,
                       parent,
                       rect.bottom - rect.top,
                       rect.right - rect.left,
                       y,
                       x,
                       static_cast<LONG>(style),
                       title,
                       class_name,
                       ex_style};
  if (CallWindowProcedure(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  // The procedure may have destroyed the window during WM_CREATE.
  return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
  ThreadState* me = CurrentThread();
  std::vector<HWND> children;
  {
    std::lock_guard<std::mutex> lock(Core().mutex);
    Window* window = FindWindowLocked(handle);
    // Only the thread that created a window may destroy it, and only once.
    if (window == nullptr || window->owner != me || window->destroying) return FALSE;
    window->destroying = true;
    handle = window->handle;
    for (const auto& [value, other] : Core().windows) {
      if (other.parent == handle) children.push_back(other.handle);
    }
  }
  if (TraceRecording()) platform::TraceEvent("DestroyWindow " + ClassNameOf(handle));
  CallWindowProcedure(handle, WM_DESTROY, 0, 0);
  for (HWND child : children) DestroyWindow(child);
  std::vector<HWND> removed;
  {
    std::lock_guard<std::mutex> lock(Core().mutex);
    RemoveWindowLocked(handle, &removed);
  }
  ReportWindowsRemoved(removed);
  return TRUE;
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) DestroyWindow(window);
  if (message == WM_PAINT) platform::ValidateWindow(window);
  return 0;
}

BOOL ShowWindow(HWND handle, int show_code) {
  if (TraceRecording()) {
    platform::TraceEvent("ShowWindow " + ClassNameOf(handle) + " " + std::to_string(show_code));
  }
  bool show = show_code != SW_HIDE;
  bool was_visible = false;
  bool wake_display = false;
  {
    std::lock_guard<std::mutex> lock(Core().mutex);
    Window* window = FindWindowLocked(handle);
    if (window == nullptr) return FALSE;
    handle = window->handle;
    was_visible = window->visible;
    if (show == was_visible) return was_visible ? TRUE : FALSE;
    window->visible = show;
    if (show) {
      AddToUpdateRegion(*window, ClientRect(*window));
      wake_display = Wake(window->owner);
    }
  }
  if (wake_display) platform::DisplayWake();
  platform::DisplayWindowShown(handle, show);
  return was_visible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND handle) {
  bool paint_due = false;
  {
    std::lock_guard<std::mutex> lock(Core().mutex);
    Window* window = FindWindowLocked(handle);
    if (window == nullptr) return FALSE;
    paint_due = window->has_update && WindowShownLocked(*window);
  }
  if (paint_due) SendMessageW(handle, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL IsWindow(HWND handle) {
  std::lock_guard<std::mutex> lock(Core().mutex);
  return FindWindowLocked(handle) != nullptr ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND handle) {
  std::lock_guard<std::mutex> lock(Core().mutex);
  Window* window = FindWindowLocked(handle);
  return window != nullptr && WindowShownLocked(*window) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND handle, BOOL enable) {
  std::lock_guard<std::mutex> lock(Core().mutex);
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return FALSE;
  const bool was_disabled = !window->enabled;
  window->enabled = enable != FALSE;
  return was_disabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND handle) {
  std::lock_guard<std::mutex> lock(Core().mutex);
  Window* window = FindWindowLocked(handle);
  return window != nullptr && window->enabled ? TRUE : FALSE;
}

BOOL InvalidateRect(HWND handle, const RECT* rect, BOOL) {
  bool wake_display = false;
  {
    std::lock_guard<std::mutex> lock(Core().mutex);
    auto invalidate = [&](Window& window) {
      AddToUpdateRegion(window, rect != nullptr ? *rect : ClientRect(window));
      wake_display = Wake(window.owner) || wake_display;
    };
    // A null window stands for every window, as on the Win32 desktop.
    if (handle == nullptr) {
      for (auto& [value, window] : Core().windows) invalidate(window);
    } else if (Window* window = FindWindowLocked(handle); window != nullptr) {
      invalidate(*window);
    } else {
      return FALSE;
    }
  }
  if (wake_display) platform::DisplayWake();
  return TRUE;
}

BOOL GetWindowRect(HWND handle, RECT* rect) {
  if (rect == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(Core().mutex);
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return FALSE;
  *rect = window->rect;
  return TRUE;
}
