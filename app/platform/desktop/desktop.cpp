// FindWindowW, GetForegroundWindow and SetForegroundWindow over the host's top-level windows.
// Under X11 the X server's windows and its active window answer, so another program's window is
// found and compared as on the head unit. Under Wayland other programs' windows are invisible, so
// a lookup by title finds only ours; our window is in front while it has the keyboard focus, or,
// on a seat without a keyboard, while it is the shown window last brought forward. Elsewhere
// (headless, DRM) the platform's own windows answer, with a foreground kept here. Our own
// windows are always found by their own handles, and on every display a later start of a program
// finds the running one's windows through the session's claim (session.cpp).
#include <atomic>
#include <cstdint>

#include "platform/desktop/foreground.h"
#include "platform/desktop/session.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/display/display_backend.h"
#include "platform/display/host_windows.h"
#include "platform/internal/module_interfaces.h"

namespace platform {
namespace desktop {
namespace {

// Other programs' X11 windows get handles of their own: even, far above any handle of ours. The
// tag is a handle's top bit; an X window id has 29 bits, so it fits doubled below the tag on a
// 32-bit host too.
constexpr std::uintptr_t kForeignWindowTag = std::uintptr_t{1} << (sizeof(std::uintptr_t) * 8 - 1);

std::atomic<HWND> own_foreground{nullptr};

HWND ForeignHandle(unsigned long x11_window) {
  return reinterpret_cast<HWND>(kForeignWindowTag | (std::uintptr_t{x11_window} << 1));
}

unsigned long ForeignWindow(HWND window) {
  const auto value = reinterpret_cast<std::uintptr_t>(window);
  return (value & kForeignWindowTag) ? static_cast<unsigned long>((value & ~kForeignWindowTag) >> 1)
                                     : 0;
}

HWND HandleOfHostWindow(unsigned long x11_window) {
  if (x11_window == 0) return nullptr;
  HWND own = display::WindowOfHostId(x11_window);
  return own ? own : ForeignHandle(x11_window);
}

// The X server is the desktop unless the display runs headless (forced, or under virtual time,
// where the tests' runs must not see the developer's desktop) or shows our windows elsewhere.
bool UseX11() {
  return !display::HeadlessForced() && display::OurWindowsMayBeOnX11() && X11DesktopAvailable();
}

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool SameIgnoringCase(LPCWSTR a, LPCWSTR b) {
  if (!a || !b) return a == b;
  for (; *a && LowerAscii(*a) == LowerAscii(*b); ++a, ++b) {
  }
  return LowerAscii(*a) == LowerAscii(*b);
}

}  // namespace

HWND FindOwnWindow(LPCWSTR class_name, LPCWSTR title) {
  HWND found = nullptr;
  ForEachWindow([&](const WindowInfo& info) {
    if (found || !info.top_level) return;
    if (class_name && !SameIgnoringCase(class_name, info.class_name)) return;
    if (!title || SameIgnoringCase(title, info.title)) found = info.handle;
  });
  return found;
}

void ForgetForeground(HWND window) {
  HWND expected = window;
  own_foreground.compare_exchange_strong(expected, nullptr);
}

}  // namespace desktop
}  // namespace platform

using namespace platform;
using namespace platform::desktop;

HWND FindWindowW(LPCWSTR class_name, LPCWSTR title) {
  if (HWND own = FindOwnWindow(class_name, title)) return own;
  if (HWND running = FindSessionWindow(class_name, title)) return running;
  if (!UseX11()) return nullptr;
  const std::string class8 = Utf8FromWide(class_name);
  const std::string title8 = Utf8FromWide(title);
  return HandleOfHostWindow(
      X11FindWindow(class_name ? &class8 : nullptr, title ? &title8 : nullptr));
}

HWND GetForegroundWindow() {
  if (UseX11()) return HandleOfHostWindow(X11ActiveWindow());
  HWND focused = nullptr;
  if (display::WaylandKeyboardFocus(&focused)) return focused;
  return own_foreground.load();
}

BOOL SetForegroundWindow(HWND window) {
  // A handle with its lowest bit set names the same window.
  window = reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(window) & ~std::uintptr_t{1});
  if (IsSessionWindow(window)) return ForegroundSessionWindow(window);
  if (const unsigned long foreign = ForeignWindow(window)) {
    return UseX11() && X11Activate(foreign);
  }
  WindowInfo info{};
  if (!DescribeWindow(window, &info) || !info.top_level || !info.visible) return FALSE;
  if (UseX11()) {
    const unsigned long shown_by = display::HostWindowId(window);
    if (shown_by == 0 || !X11Activate(shown_by)) return FALSE;
  } else {
    own_foreground = window;
  }
  display::RaiseOnScreen(window);
  return TRUE;
}
