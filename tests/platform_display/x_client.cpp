#include "tests/platform_display/x_client.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstdlib>

namespace platform::test {
namespace {

// Waits until the server has processed the window's mapping.
void WaitViewable(Display* display, Window window) {
  for (int i = 0; i < 200; ++i) {
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    if (attributes.map_state == IsViewable) return;
    XSync(display, False);
  }
}

}  // namespace

const char* UseTestDisplay() {
  const char* name = std::getenv("QUELT_TEST_DISPLAY");
  if (name && *name) setenv("DISPLAY", name, 1);
  return name && *name ? name : nullptr;
}

XClient::XClient() : display(XOpenDisplay(nullptr)) {}

XClient::~XClient() {
  if (!display) return;
  for (Window window : windows) XDestroyWindow(display, window);
  XCloseDisplay(display);
}

Window XClient::CreateWindow(const std::string& title, const std::string& class_name, int x, int y,
                             int width, int height, bool mapped) {
  const int screen = DefaultScreen(display);
  Window window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, width, height, 0,
                                      BlackPixel(display, screen), WhitePixel(display, screen));
  XStoreName(display, window, title.c_str());
  std::string name = class_name;
  XClassHint hint{name.data(), name.data()};
  XSetClassHint(display, window, &hint);
  if (mapped) {
    XMapRaised(display, window);
    WaitViewable(display, window);
  }
  XSync(display, False);
  windows.push_back(window);
  return window;
}

void XClient::Focus(Window window) {
  XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
  XSync(display, False);
}

Window XClient::FocusedWindow() {
  Window focus;
  int revert;
  XGetInputFocus(display, &focus, &revert);
  return focus;
}

// The title as window managers read it: _NET_WM_NAME, else WM_NAME.
std::string XClient::Title(Window window) {
  Atom type;
  int format;
  unsigned long count, remaining;
  unsigned char* data = nullptr;
  std::string title;
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 256,
                         False, utf8, &type, &format, &count, &remaining, &data) == Success &&
      data && type == utf8) {
    title.assign(reinterpret_cast<const char*>(data), count);
  }
  if (data) XFree(data);
  char* name = nullptr;
  if (title.empty() && XFetchName(display, window, &name) && name) title = name;
  if (name) XFree(name);
  return title;
}

Window XClient::FindByTitle(const std::string& title) {
  Window root, parent;
  Window* children = nullptr;
  unsigned int count = 0;
  Window found = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  for (unsigned int i = 0; i < count && !found; ++i) {
    if (Title(children[i]) == title) found = children[i];
  }
  if (children) XFree(children);
  return found;
}

Window XClient::Topmost() {
  Window root, parent;
  Window* children = nullptr;
  unsigned int count = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  const Window top = count > 0 ? children[count - 1] : 0;
  if (children) XFree(children);
  return top;
}

std::vector<std::uint32_t> XClient::Screen(int width, int height) {
  std::vector<std::uint32_t> pixels;
  XImage* image =
      XGetImage(display, DefaultRootWindow(display), 0, 0, width, height, AllPlanes, ZPixmap);
  if (!image) return pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      pixels.push_back(static_cast<std::uint32_t>(pixel & 0xFFFFFF));
    }
  }
  XDestroyImage(image);
  return pixels;
}

void XClient::SetRootWindowProperty(const char* name, Window value) {
  const Atom property = XInternAtom(display, name, False);
  XChangeProperty(display, DefaultRootWindow(display), property, XA_WINDOW, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&value), 1);
  XSync(display, False);
}

void XClient::DeleteRootProperty(const char* name) {
  XDeleteProperty(display, DefaultRootWindow(display), XInternAtom(display, name, False));
  XSync(display, False);
}

void XClient::SendDeleteRequest(Window window) {
  XEvent request{};
  request.xclient.type = ClientMessage;
  request.xclient.window = window;
  request.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  request.xclient.format = 32;
  request.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  request.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &request);
  XSync(display, False);
}

}  // namespace platform::test
