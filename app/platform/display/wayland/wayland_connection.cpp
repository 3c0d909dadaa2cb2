// Connecting to the compositor: the globals the display needs, seats as they come and go, and
// the answer to the compositor's pings. Start reading at ConnectToCompositor.

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/display/wayland/wayland_state.h"

namespace platform::display::wayland {
namespace {

// damage_buffer came with wl_compositor 4.
constexpr std::uint32_t kCompositorVersion = 4;

void AnswerPing(void*, xdg_wm_base* wm_base, std::uint32_t serial) {
  xdg_wm_base_pong(wm_base, serial);
}

const xdg_wm_base_listener kWmBaseListener = {AnswerPing};

void AnnounceGlobal(void*, wl_registry* registry, std::uint32_t name, const char* interface,
                    std::uint32_t version) {
  WaylandDisplay& display = Wayland();
  if (std::strcmp(interface, wl_compositor_interface.name) == 0 && version >= kCompositorVersion &&
      !display.compositor) {
    display.compositor = static_cast<wl_compositor*>(
        wl_registry_bind(registry, name, &wl_compositor_interface, kCompositorVersion));
  } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && !display.shm) {
    display.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
  } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0 && !display.wm_base) {
    display.wm_base =
        static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    xdg_wm_base_add_listener(display.wm_base, &kWmBaseListener, nullptr);
  } else if (std::strcmp(interface, wl_seat_interface.name) == 0) {
    // Also long after start-up: a touch screen that enumerates late brings its seat then.
    AddSeat(name, version);
  }
}

void RemoveGlobal(void*, wl_registry*, std::uint32_t name) { RemoveSeat(name); }

const wl_registry_listener kRegistryListener = {AnnounceGlobal, RemoveGlobal};

const char* MissingGlobal(const WaylandDisplay& display) {
  if (!display.compositor) return "the compositor offers no wl_compositor of version 4";
  if (!display.shm) return "the compositor offers no wl_shm";
  if (!display.wm_base) return "the compositor offers no xdg_wm_base";
  return nullptr;
}

// Nothing was shown yet: all of it goes, and the next backend starts from a clean slate.
void Disconnect(WaylandDisplay& display) {
  while (!display.seats.empty()) RemoveSeat(display.seats.back()->global_name);
  if (display.wm_base) xdg_wm_base_destroy(display.wm_base);
  if (display.shm) wl_shm_destroy(display.shm);
  if (display.compositor) wl_compositor_destroy(display.compositor);
  if (display.registry) wl_registry_destroy(display.registry);
  wl_display_disconnect(display.connection);
  display.wm_base = nullptr;
  display.shm = nullptr;
  display.compositor = nullptr;
  display.registry = nullptr;
  display.connection = nullptr;
}

}  // namespace

bool ConnectToCompositor(std::string* why_not) {
  // A socket name other than a path lies in XDG_RUNTIME_DIR; without it libwayland would only
  // complain on standard error.
  const char* name = std::getenv("WAYLAND_DISPLAY");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!std::getenv("WAYLAND_SOCKET") && !(name && name[0] == '/') && !(runtime && *runtime)) {
    *why_not = "XDG_RUNTIME_DIR is not set";
    return false;
  }
  WaylandDisplay& display = Wayland();
  display.connection = wl_display_connect(nullptr);
  if (!display.connection) {
    *why_not = std::string("no compositor answers: ") + std::strerror(errno);
    return false;
  }
  display.registry = wl_display_get_registry(display.connection);
  wl_registry_add_listener(display.registry, &kRegistryListener, nullptr);
  // The first round trip brings the globals, the second the seats' capabilities.
  if (wl_display_roundtrip(display.connection) < 0 ||
      wl_display_roundtrip(display.connection) < 0) {
    *why_not = "the compositor closed the connection";
  } else if (const char* missing = MissingGlobal(display)) {
    *why_not = missing;
  } else if (!OpenWakePipe(&display.wake)) {
    *why_not = std::string("no wake pipe: ") + std::strerror(errno);
  } else {
    return true;
  }
  Disconnect(display);
  return false;
}

}  // namespace platform::display::wayland
