// A plain Xlib client for the tests that need another program's windows on a real X server:
// windows with a title and class, the input focus, the screen's pixels, root properties.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform::test {

// The X server of the tests ($QUELT_TEST_DISPLAY), made this process's $DISPLAY; null when unset.
const char* UseTestDisplay();

struct XClient {
  XClient();
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  Window CreateWindow(const std::string& title, const std::string& class_name, int x, int y,
                      int width, int height, bool mapped);
  void Focus(Window window);
  Window FocusedWindow();
  std::string Title(Window window);
  Window FindByTitle(const std::string& title);
  // The root's child on top of the stacking order.
  Window Topmost();
  // 0x00RRGGBB pixels of the root window, rows top first.
  std::vector<std::uint32_t> Screen(int width, int height);
  void SetRootWindowProperty(const char* name, Window value);
  void DeleteRootProperty(const char* name);
  void SendDeleteRequest(Window window);

  Display* display;
  std::vector<Window> windows;
};

}  // namespace platform::test
