// Toplevels: a wl_surface with the xdg_toplevel role while shown, and the picture it shows kept
// by the window records (or the box). Start reading at ShowToplevel, then AcknowledgeConfigure: a
// toplevel may show a buffer only once it acknowledged the compositor's first configure, and a
// window takes whatever size the compositor offers (a kiosk's whole output), fitting its picture
// in.
#include <algorithm>
#include <cerrno>  // program_invocation_short_name
#include <cstdint>

#include "platform/display/wayland/wayland_state.h"
#include "platform/display/window_surfaces.h"
#include "platform/internal/module_interfaces.h"

namespace platform::display::wayland {
namespace {

// The largest area a window takes, each way, whatever a compositor offers (up to 2^31): beyond an
// 4K screen a buffer would be gigabytes of shared memory, and its size would overflow the 32-bit
// sizes of the shared-memory protocol. A larger offer gets this much, with the picture fitted in.
constexpr int kLargestAreaSide = 4096;

void TakeConfigure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height,
                   wl_array* states) {
  auto* toplevel = static_cast<Toplevel*>(data);
  toplevel->offered_width = width;
  toplevel->offered_height = height;
  const auto* state = static_cast<const std::uint32_t*>(states->data);
  const std::size_t count = states->size / sizeof *state;
  toplevel->covers_output =
      std::find(state, state + count, XDG_TOPLEVEL_STATE_FULLSCREEN) != state + count;
}

void TakeClose(void* data, xdg_toplevel*) { CloseRequested(static_cast<Toplevel*>(data)); }

void IgnoreBounds(void*, xdg_toplevel*, std::int32_t, std::int32_t) {}

void IgnoreCapabilities(void*, xdg_toplevel*, wl_array*) {}

const xdg_toplevel_listener kRoleListener = {TakeConfigure, TakeClose, IgnoreBounds,
                                             IgnoreCapabilities};

// The toplevel's size and states came just before; this closes the sequence. A window takes the
// size offered and fits its picture in; a box keeps its own, which a compositor centres on the
// screen when it makes the box full screen.
void AcknowledgeConfigure(void* data, xdg_surface* shell_surface, std::uint32_t serial) {
  auto* toplevel = static_cast<Toplevel*>(data);
  xdg_surface_ack_configure(shell_surface, serial);
  const bool sized_by_offer =
      toplevel->window && toplevel->offered_width > 0 && toplevel->offered_height > 0;
  const int width = std::min(sized_by_offer ? toplevel->offered_width : toplevel->picture_width,
                             kLargestAreaSide);
  const int height = std::min(sized_by_offer ? toplevel->offered_height : toplevel->picture_height,
                              kLargestAreaSide);
  const bool first = !toplevel->configured;
  toplevel->configured = true;
  if (first || width != toplevel->letterbox.area_width ||
      height != toplevel->letterbox.area_height) {
    ResizeArea(toplevel, width, height);
  }
  if (toplevel->damage.empty() && toplevel->mapped) {
    // Only the states changed: the acknowledgement still needs a commit to apply.
    wl_surface_commit(toplevel->surface);
  } else {
    CommitChanges(toplevel);
  }
}

const xdg_surface_listener kShellSurfaceListener = {AcknowledgeConfigure};

void CreateRole(Toplevel* toplevel) {
  WaylandDisplay& display = Wayland();
  toplevel->surface = wl_compositor_create_surface(display.compositor);
  wl_surface_set_user_data(toplevel->surface, toplevel);
  toplevel->shell_surface = xdg_wm_base_get_xdg_surface(display.wm_base, toplevel->surface);
  xdg_surface_add_listener(toplevel->shell_surface, &kShellSurfaceListener, toplevel);
  toplevel->role = xdg_surface_get_toplevel(toplevel->shell_surface);
  xdg_toplevel_add_listener(toplevel->role, &kRoleListener, toplevel);
  xdg_toplevel_set_title(toplevel->role, toplevel->title.c_str());
  // The program's name, as desktop files and a kiosk's per-output rules know it.
  xdg_toplevel_set_app_id(toplevel->role, program_invocation_short_name);
  // A box stays above its owner, as a transient window does.
  const Toplevel* owner = toplevel->window ? nullptr : TopmostShownWindow();
  if (owner) xdg_toplevel_set_parent(toplevel->role, owner->role);
  if (toplevel->fullscreen_asked) xdg_toplevel_set_fullscreen(toplevel->role, nullptr);
  // The whole surface is opaque: the compositor may skip what lies under it.
  wl_region* opaque = wl_compositor_create_region(display.compositor);
  wl_region_add(opaque, 0, 0, INT32_MAX, INT32_MAX);
  wl_surface_set_opaque_region(toplevel->surface, opaque);
  wl_region_destroy(opaque);
  // The first commit carries no buffer: it asks for the first configure.
  wl_surface_commit(toplevel->surface);
}

void DestroyRole(Toplevel* toplevel) {
  ForgetInputToplevel(toplevel);
  if (toplevel->role) xdg_toplevel_destroy(toplevel->role);
  if (toplevel->shell_surface) xdg_surface_destroy(toplevel->shell_surface);
  if (toplevel->surface) wl_surface_destroy(toplevel->surface);
  toplevel->role = nullptr;
  toplevel->shell_surface = nullptr;
  toplevel->surface = nullptr;
  toplevel->configured = false;
  toplevel->mapped = false;
  toplevel->offered_width = 0;
  toplevel->offered_height = 0;
  toplevel->covers_output = false;
  toplevel->damage.clear();
  // The surface went first, so the compositor reads them no more.
  DestroyBuffers(toplevel);
}

}  // namespace

Toplevel* AddToplevel(std::unique_ptr<Toplevel> toplevel) {
  Wayland().toplevels.push_back(std::move(toplevel));
  return Wayland().toplevels.back().get();
}

Toplevel* ToplevelOfWindow(HWND window) {
  for (const auto& toplevel : Wayland().toplevels) {
    if (window && toplevel->window == window) return toplevel.get();
  }
  return nullptr;
}

Toplevel* ToplevelOfSurface(wl_surface* surface) {
  // Events about a surface destroyed meanwhile carry none.
  return surface ? static_cast<Toplevel*>(wl_surface_get_user_data(surface)) : nullptr;
}

Toplevel* TopmostShownWindow() {
  HWND topmost = nullptr;
  {
    std::lock_guard<std::mutex> hold(SurfacesLock());
    ForEachVisibleTopLevel([&](const WindowRecord& record) {
      const Toplevel* toplevel = ToplevelOfWindow(record.handle);
      if (toplevel && toplevel->role) topmost = record.handle;
    });
  }
  return topmost ? ToplevelOfWindow(topmost) : nullptr;
}

void ShowToplevel(Toplevel* toplevel, bool shown) {
  if (shown == toplevel->shown) return;
  toplevel->shown = shown;
  if (shown) {
    CreateRole(toplevel);
  } else {
    DestroyRole(toplevel);
  }
}

void RemapToplevel(Toplevel* toplevel) {
  if (!toplevel->shown) return;
  DestroyRole(toplevel);
  CreateRole(toplevel);
}

void RemoveToplevel(Toplevel* toplevel) {
  if (toplevel->shown) DestroyRole(toplevel);
  auto& toplevels = Wayland().toplevels;
  toplevels.erase(std::find_if(toplevels.begin(), toplevels.end(),
                               [toplevel](const auto& owned) { return owned.get() == toplevel; }));
}

const std::uint32_t* PictureOf(const Toplevel& toplevel) {
  if (!toplevel.window) return toplevel.box.pixels;
  Surface32 surface;
  // The window's own thread, this one, draws on it: the pixels hold still while they are read.
  if (!DisplayWindowSurface(toplevel.window, &surface) || surface.width != toplevel.picture_width ||
      surface.height != toplevel.picture_height) {
    return nullptr;
  }
  return surface.pixels;
}

bool CoversScreen(const Toplevel& toplevel) {
  return toplevel.fullscreen_asked || toplevel.covers_output;
}

}  // namespace platform::display::wayland
