// The display thread's wait: the compositor's socket and the wake pipe in one poll, with the
// read preparation libwayland needs so that no event is left unread in its queue. Requests that
// do not fit into the socket wait for it to drain without blocking the thread. A round trip waits
// until the compositor has answered everything sent before it.
#include <poll.h>

#include <cerrno>
#include <chrono>

#include "platform/display/wayland/wayland_state.h"

namespace platform::display::wayland {
namespace {

// False when the connection broke; *unsent tells that the socket is full.
bool Flush(wl_display* connection, bool* unsent) {
  *unsent = wl_display_flush(connection) < 0;
  return !*unsent || errno == EAGAIN;
}

void WaitForWake(const WakePipe& pipe, int timeout_ms) {
  pollfd wake{pipe.read_end, POLLIN, 0};
  if (poll(&wake, 1, timeout_ms) > 0) DrainWakePipe(pipe);
}

}  // namespace

bool WaitForCompositor(int timeout_ms) {
  WaylandDisplay& display = Wayland();
  if (display.lost) {
    WaitForWake(display.wake, timeout_ms);
    return true;
  }
  wl_display* connection = display.connection;
  while (wl_display_prepare_read(connection) != 0) {
    if (wl_display_dispatch_pending(connection) < 0) return false;
  }
  bool unsent = false;
  if (!Flush(connection, &unsent)) {
    wl_display_cancel_read(connection);
    return false;
  }
  pollfd waits[2] = {
      {wl_display_get_fd(connection), static_cast<short>(POLLIN | (unsent ? POLLOUT : 0)), 0},
      {display.wake.read_end, POLLIN, 0}};
  const int ready = poll(waits, 2, timeout_ms < 0 ? -1 : timeout_ms);
  if (ready > 0 && (waits[0].revents & (POLLIN | POLLERR | POLLHUP))) {
    if (wl_display_read_events(connection) < 0) return false;
  } else {
    wl_display_cancel_read(connection);
  }
  if (ready > 0 && (waits[1].revents & POLLIN)) DrainWakePipe(display.wake);
  if (wl_display_dispatch_pending(connection) < 0) return false;
  return Flush(connection, &unsent);
}

bool RoundTrip(int timeout_ms) {
  WaylandDisplay& display = Wayland();
  if (display.lost) return true;
  bool answered = false;
  static const wl_callback_listener kAnswered = {
      [](void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }};
  wl_callback* sync = wl_display_sync(display.connection);
  wl_callback_add_listener(sync, &kAnswered, &answered);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  bool connected = true;
  while (!answered && connected) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) break;
    connected = WaitForCompositor(static_cast<int>(left));
  }
  wl_callback_destroy(sync);
  return connected;
}

}  // namespace platform::display::wayland
