// X11 desktop queries. Window managers reparent their clients into frames, so the client list
// (_NET_CLIENT_LIST) and the active window (_NET_ACTIVE_WINDOW) are preferred; without a window
// manager the window tree and the input focus answer instead. Windows can vanish between two
// requests: errors on this connection are ignored and the request simply finds nothing.
#include "platform/desktop/x11_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/internal/module_interfaces.h"
#include "platform/win32.h"

namespace platform::desktop {
namespace {

std::mutex connection_lock;
Display* connection = nullptr;
XErrorHandler previous_error_handler = nullptr;

int IgnoreOwnErrors(Display* display, XErrorEvent* error) {
  if (display == connection) return 0;
  return previous_error_handler ? previous_error_handler(display, error) : 0;
}

Display* Connection() {
  static bool tried = false;
  if (!tried) {
    tried = true;
    connection = XOpenDisplay(nullptr);
    if (connection) {
      previous_error_handler = XSetErrorHandler(IgnoreOwnErrors);
      EndProcessWhenXServerLost();
    }
  }
  return connection;
}

int EndOnLostConnection(Display* display) {
  LogLine(LogPriority::Error, std::string("the connection to the X server ") +
                                  DisplayString(display) + " is broken; ending");
  ExitProcess(1);
  return 0;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The window property as a list of 32-bit items (Xlib hands them over as longs).
std::vector<unsigned long> WindowListProperty(Window window, const char* name, bool* present) {
  std::vector<unsigned long> items;
  Atom type;
  int format;
  unsigned long count, remaining;
  unsigned char* data = nullptr;
  const Atom property = XInternAtom(connection, name, False);
  *present = XGetWindowProperty(connection, window, property, 0, 4096, False, XA_WINDOW, &type,
                                &format, &count, &remaining, &data) == Success &&
             type == XA_WINDOW && format == 32;
  if (*present) {
    const auto* values = reinterpret_cast<const unsigned long*>(data);
    items.assign(values, values + count);
  }
  if (data) XFree(data);
  return items;
}

std::string WindowTitle(Window window) {
  Atom type;
  int format;
  unsigned long count, remaining;
  unsigned char* data = nullptr;
  const Atom net_name = XInternAtom(connection, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(connection, "UTF8_STRING", False);
  std::string title;
  if (XGetWindowProperty(connection, window, net_name, 0, 1024, False, utf8, &type, &format, &count,
                         &remaining, &data) == Success &&
      type == utf8 && format == 8) {
    title.assign(reinterpret_cast<const char*>(data), count);
  }
  if (data) XFree(data);
  if (!title.empty()) return title;
  XTextProperty text{};
  if (!XGetWMName(connection, window, &text)) return title;
  char** list = nullptr;
  int list_count = 0;
  if (Xutf8TextPropertyToTextList(connection, &text, &list, &list_count) >= Success &&
      list_count > 0) {
    title = list[0];
  }
  if (list) XFreeStringList(list);
  XFree(text.value);
  return title;
}

bool ClassMatches(Window window, const std::string& class_name) {
  XClassHint hint{};
  if (!XGetClassHint(connection, window, &hint)) return false;
  const bool matches = (hint.res_class && SameIgnoringCase(hint.res_class, class_name)) ||
                       (hint.res_name && SameIgnoringCase(hint.res_name, class_name));
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return matches;
}

bool Matches(Window window, const std::string* class_name, const std::string* title) {
  return (!title || SameIgnoringCase(WindowTitle(window), *title)) &&
         (!class_name || ClassMatches(window, *class_name));
}

std::vector<Window> Children(Window window) {
  Window root, parent;
  Window* children = nullptr;
  unsigned int count = 0;
  std::vector<Window> list;
  if (XQueryTree(connection, window, &root, &parent, &children, &count)) {
    list.assign(children, children + count);
  }
  if (children) XFree(children);
  return list;
}

// The root's children and their children: clients themselves without a window manager, or
// inside their frames with one; unmapped windows included, as FindWindowW finds hidden ones.
std::vector<Window> TreeCandidates() {
  std::vector<Window> candidates;
  for (Window top : Children(DefaultRootWindow(connection))) {
    candidates.push_back(top);
    for (Window child : Children(top)) candidates.push_back(child);
  }
  return candidates;
}

Window TopLevelAncestor(Window window) {
  const Window root = DefaultRootWindow(connection);
  while (window != 0 && window != root) {
    Window window_root, parent;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(connection, window, &window_root, &parent, &children, &count)) return 0;
    if (children) XFree(children);
    if (parent == root) return window;
    window = parent;
  }
  return 0;
}

bool Viewable(Window window) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(connection, window, &attributes) &&
         attributes.map_state == IsViewable;
}

bool Exists(Window window) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(connection, window, &attributes) != 0;
}

}  // namespace

bool X11DesktopAvailable() {
  std::lock_guard<std::mutex> hold(connection_lock);
  return Connection() != nullptr;
}

unsigned long X11FindWindow(const std::string* class_name, const std::string* title) {
  std::lock_guard<std::mutex> hold(connection_lock);
  if (!Connection()) return 0;
  bool managed;
  for (Window client :
       WindowListProperty(DefaultRootWindow(connection), "_NET_CLIENT_LIST", &managed)) {
    if (Matches(client, class_name, title)) return client;
  }
  for (Window candidate : TreeCandidates()) {
    if (Matches(candidate, class_name, title)) return candidate;
  }
  return 0;
}

unsigned long X11ActiveWindow() {
  std::lock_guard<std::mutex> hold(connection_lock);
  if (!Connection()) return 0;
  bool managed;
  const std::vector<unsigned long> active =
      WindowListProperty(DefaultRootWindow(connection), "_NET_ACTIVE_WINDOW", &managed);
  if (managed) return active.empty() ? 0 : active.front();
  Window focus;
  int revert;
  XGetInputFocus(connection, &focus, &revert);
  // None and PointerRoot (0 and 1) name no window.
  if (focus == None || focus == PointerRoot) return 0;
  return TopLevelAncestor(focus);
}

bool X11Activate(unsigned long window) {
  std::lock_guard<std::mutex> hold(connection_lock);
  if (!Connection() || !Exists(window)) return false;
  const Window root = DefaultRootWindow(connection);
  XRaiseWindow(connection, window);
  if (Viewable(window)) XSetInputFocus(connection, window, RevertToParent, CurrentTime);
  // The window manager's way: it raises the frame and gives the focus itself.
  XEvent request{};
  request.xclient.type = ClientMessage;
  request.xclient.window = window;
  request.xclient.message_type = XInternAtom(connection, "_NET_ACTIVE_WINDOW", False);
  request.xclient.format = 32;
  request.xclient.data.l[0] = 2;  // source: a pager, acting for the user
  request.xclient.data.l[1] = CurrentTime;
  XSendEvent(connection, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
  XSync(connection, False);
  return true;
}

}  // namespace platform::desktop

namespace platform {

void EndProcessWhenXServerLost() { XSetIOErrorHandler(desktop::EndOnLostConnection); }

}  // namespace platform
