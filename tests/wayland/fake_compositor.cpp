// The tests' compositor: libwayland-server's event loop on a thread of its own, with just enough
// of each interface for a client of wl_shm and xdg-shell. Every request a client may send has a
// handler (libwayland calls a missing one through a null pointer); most only destroy or ignore.
// Start reading at FakeCompositor's constructor, then CommitSurface.
#include "tests/wayland/fake_compositor.h"

#include <unistd.h>
#include <wayland-server.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "xdg-shell-server-protocol.h"

namespace platform::test {

namespace {

constexpr std::int32_t kFingerId = 7;

struct Surface {
  FakeCompositor::State* state = nullptr;
  wl_resource* resource = nullptr;
  wl_resource* toplevel = nullptr;
  wl_resource* xdg = nullptr;
  wl_resource* pending = nullptr;  // attached, not committed yet
  wl_resource* current = nullptr;  // committed, not released yet
  bool configure_sent = false;
  bool acknowledged = false;
  bool mapped = false;
  bool alive = true;
};

struct BufferSize {
  int width = 0;
  int height = 0;
};

}  // namespace

struct FakeCompositor::State {
  wl_display* display = nullptr;
  std::thread thread;
  std::atomic<bool> stopping{false};

  std::mutex mutex;  // guards view and actions
  CompositorView view;
  std::vector<std::function<void()>> actions;

  // The compositor thread's own.
  int offer_width = 0;
  int offer_height = 0;
  bool focus_on_map = false;
  std::uint32_t serial = 1;
  // Kept until the compositor goes: a client's resources may go in any order at its end.
  std::vector<std::unique_ptr<Surface>> surfaces;
  Surface* last_mapped = nullptr;
  Surface* focused = nullptr;
  wl_resource* pointer = nullptr;
  wl_resource* keyboard = nullptr;
  wl_resource* touch = nullptr;
};

namespace {

using State = FakeCompositor::State;

Surface* SurfaceOf(wl_resource* resource) {
  return static_cast<Surface*>(wl_resource_get_user_data(resource));
}

void Destroy(wl_client*, wl_resource* resource) { wl_resource_destroy(resource); }
void Ignore(wl_client*, wl_resource*) {}
void IgnoreRect(wl_client*, wl_resource*, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void IgnoreInt(wl_client*, wl_resource*, std::int32_t) {}
void IgnoreResource(wl_client*, wl_resource*, wl_resource*) {}
void IgnoreText(wl_client*, wl_resource*, const char*) {}
void IgnoreSize(wl_client*, wl_resource*, std::int32_t, std::int32_t) {}
void IgnoreSeatSerial(wl_client*, wl_resource*, wl_resource*, std::uint32_t) {}

// ---- Buffers and shared memory --------------------------------------------------------------

const struct wl_buffer_interface kBuffer = {Destroy};

void ForgetBuffer(wl_resource* buffer) {
  delete static_cast<BufferSize*>(wl_resource_get_user_data(buffer));
}

void CreateBuffer(wl_client* client, wl_resource*, std::uint32_t id, std::int32_t,
                  std::int32_t width, std::int32_t height, std::int32_t, std::uint32_t) {
  wl_resource* buffer = wl_resource_create(client, &wl_buffer_interface, 1, id);
  wl_resource_set_implementation(buffer, &kBuffer, new BufferSize{width, height}, ForgetBuffer);
}

const struct wl_shm_pool_interface kPool = {CreateBuffer, Destroy, IgnoreInt};

void CreatePool(wl_client* client, wl_resource* shm, std::uint32_t id, std::int32_t fd,
                std::int32_t size) {
  State* state = static_cast<State*>(wl_resource_get_user_data(shm));
  close(fd);
  {
    std::lock_guard<std::mutex> hold(state->mutex);
    state->view.largest_pool = std::max<std::int64_t>(state->view.largest_pool, size);
  }
  wl_resource* pool = wl_resource_create(client, &wl_shm_pool_interface, 1, id);
  wl_resource_set_implementation(pool, &kPool, state, nullptr);
}

const struct wl_shm_interface kShm = {CreatePool};

// ---- Surfaces and their toplevel role -----------------------------------------------------------

void SendConfigure(Surface* surface) {
  State* state = surface->state;
  wl_array states;
  wl_array_init(&states);
  xdg_toplevel_send_configure(surface->toplevel, state->offer_width, state->offer_height, &states);
  wl_array_release(&states);
  xdg_surface_send_configure(surface->xdg, state->serial++);
  surface->configure_sent = true;
}

void Focus(State* state, Surface* surface) {
  if (!state->keyboard || state->focused == surface) return;
  wl_array keys;
  wl_array_init(&keys);
  if (state->focused && state->focused->alive) {
    wl_keyboard_send_leave(state->keyboard, state->serial++, state->focused->resource);
  }
  wl_keyboard_send_enter(state->keyboard, state->serial++, surface->resource, &keys);
  wl_array_release(&keys);
  state->focused = surface;
}

// A toplevel's first commit asks for its configure; a buffer committed after the acknowledgement
// shows it (the one shown before is released).
void CommitSurface(wl_client*, wl_resource* resource) {
  Surface* surface = SurfaceOf(resource);
  State* state = surface->state;
  if (surface->toplevel && !surface->configure_sent) SendConfigure(surface);
  if (!surface->pending || !surface->acknowledged) return;
  if (surface->current && surface->current != surface->pending) {
    wl_buffer_send_release(surface->current);
  }
  surface->current = surface->pending;
  surface->pending = nullptr;
  const auto* size = static_cast<const BufferSize*>(wl_resource_get_user_data(surface->current));
  const bool first = !surface->mapped;
  surface->mapped = true;
  state->last_mapped = surface;
  {
    std::lock_guard<std::mutex> hold(state->mutex);
    ++state->view.buffer_commits;
    state->view.buffer_width = size->width;
    state->view.buffer_height = size->height;
    if (first) ++state->view.mapped_toplevels;
  }
  if (first && state->focus_on_map) Focus(state, surface);
}

void Attach(wl_client*, wl_resource* resource, wl_resource* buffer, std::int32_t, std::int32_t) {
  SurfaceOf(resource)->pending = buffer;
}

void Frame(wl_client* client, wl_resource*, std::uint32_t id) {
  wl_resource_create(client, &wl_callback_interface, 1, id);
}

const struct wl_surface_interface kSurface = {
    Destroy,       Attach,    IgnoreRect, Frame,      IgnoreResource, IgnoreResource,
    CommitSurface, IgnoreInt, IgnoreInt,  IgnoreRect, IgnoreSize};

void SurfaceGone(wl_resource* resource) {
  Surface* surface = SurfaceOf(resource);
  State* state = surface->state;
  surface->alive = false;
  if (state->last_mapped == surface) state->last_mapped = nullptr;
  if (state->focused == surface) state->focused = nullptr;
  if (surface->mapped) {
    std::lock_guard<std::mutex> hold(state->mutex);
    --state->view.mapped_toplevels;
  }
}

const struct wl_region_interface kRegion = {Destroy, IgnoreRect, IgnoreRect};

void CreateSurface(wl_client* client, wl_resource* compositor, std::uint32_t id) {
  State* state = static_cast<State*>(wl_resource_get_user_data(compositor));
  auto surface = std::make_unique<Surface>();
  surface->state = state;
  surface->resource =
      wl_resource_create(client, &wl_surface_interface, wl_resource_get_version(compositor), id);
  wl_resource_set_implementation(surface->resource, &kSurface, surface.get(), SurfaceGone);
  state->surfaces.push_back(std::move(surface));
}

void CreateRegion(wl_client* client, wl_resource*, std::uint32_t id) {
  wl_resource* region = wl_resource_create(client, &wl_region_interface, 1, id);
  wl_resource_set_implementation(region, &kRegion, nullptr, nullptr);
}

const struct wl_compositor_interface kCompositor = {CreateSurface, CreateRegion};

void ShowMenu(wl_client*, wl_resource*, wl_resource*, std::uint32_t, std::int32_t, std::int32_t) {}
void Resize(wl_client*, wl_resource*, wl_resource*, std::uint32_t, std::uint32_t) {}
void Fullscreen(wl_client*, wl_resource*, wl_resource*) {}

const struct xdg_toplevel_interface kToplevel = {
    Destroy,    IgnoreResource, IgnoreText, IgnoreText, ShowMenu,   IgnoreSeatSerial, Resize,
    IgnoreSize, IgnoreSize,     Ignore,     Ignore,     Fullscreen, Ignore,           Ignore};

void GetToplevel(wl_client* client, wl_resource* xdg, std::uint32_t id) {
  Surface* surface = SurfaceOf(xdg);
  surface->toplevel = wl_resource_create(client, &xdg_toplevel_interface, 1, id);
  wl_resource_set_implementation(surface->toplevel, &kToplevel, surface, nullptr);
  std::lock_guard<std::mutex> hold(surface->state->mutex);
  ++surface->state->view.toplevels_made;
}

void GetPopup(wl_client*, wl_resource*, std::uint32_t, wl_resource*, wl_resource*) {}

void AcknowledgeConfigure(wl_client*, wl_resource* xdg, std::uint32_t) {
  Surface* surface = SurfaceOf(xdg);
  surface->acknowledged = true;
  std::lock_guard<std::mutex> hold(surface->state->mutex);
  ++surface->state->view.configures_acknowledged;
}

const struct xdg_surface_interface kXdgSurface = {Destroy, GetToplevel, GetPopup, IgnoreRect,
                                                  AcknowledgeConfigure};

void CreatePositioner(wl_client*, wl_resource*, std::uint32_t) {}

void GetXdgSurface(wl_client* client, wl_resource*, std::uint32_t id, wl_resource* surface) {
  Surface* owner = SurfaceOf(surface);
  owner->xdg = wl_resource_create(client, &xdg_surface_interface, 1, id);
  wl_resource_set_implementation(owner->xdg, &kXdgSurface, owner, nullptr);
}

void Pong(wl_client*, wl_resource*, std::uint32_t) {}

const struct xdg_wm_base_interface kWmBase = {Destroy, CreatePositioner, GetXdgSurface, Pong};

// ---- The seat -----------------------------------------------------------------------------------

void SetCursor(wl_client*, wl_resource*, std::uint32_t, wl_resource*, std::int32_t, std::int32_t) {}
const struct wl_pointer_interface kPointer = {SetCursor, Destroy};
const struct wl_keyboard_interface kKeyboard = {Destroy};
const struct wl_touch_interface kTouch = {Destroy};

// The seat's device of one kind: created for the client, forgotten when it goes.
template <typename Implementation>
void GetDevice(wl_client* client, wl_resource* seat, std::uint32_t id,
               const wl_interface* interface, const Implementation* implementation,
               wl_resource* State::*device) {
  State* state = static_cast<State*>(wl_resource_get_user_data(seat));
  wl_resource* resource = wl_resource_create(client, interface, wl_resource_get_version(seat), id);
  state->*device = resource;
  wl_resource_set_implementation(resource, implementation, state, nullptr);
}

void GetPointer(wl_client* client, wl_resource* seat, std::uint32_t id) {
  GetDevice(client, seat, id, &wl_pointer_interface, &kPointer, &State::pointer);
}
void GetKeyboard(wl_client* client, wl_resource* seat, std::uint32_t id) {
  GetDevice(client, seat, id, &wl_keyboard_interface, &kKeyboard, &State::keyboard);
}
void GetTouch(wl_client* client, wl_resource* seat, std::uint32_t id) {
  GetDevice(client, seat, id, &wl_touch_interface, &kTouch, &State::touch);
}

const struct wl_seat_interface kSeat = {GetPointer, GetKeyboard, GetTouch, Destroy};

// ---- Globals ------------------------------------------------------------------------------------

wl_resource* BindGlobal(wl_client* client, void* state, std::uint32_t version, std::uint32_t id,
                        const wl_interface* interface, const void* implementation) {
  wl_resource* resource = wl_resource_create(client, interface, static_cast<int>(version), id);
  wl_resource_set_implementation(resource, implementation, state, nullptr);
  return resource;
}

void BindCompositor(wl_client* client, void* state, std::uint32_t version, std::uint32_t id) {
  BindGlobal(client, state, version, id, &wl_compositor_interface, &kCompositor);
}
void BindShm(wl_client* client, void* state, std::uint32_t version, std::uint32_t id) {
  BindGlobal(client, state, version, id, &wl_shm_interface, &kShm);
}
void BindWmBase(wl_client* client, void* state, std::uint32_t version, std::uint32_t id) {
  BindGlobal(client, state, version, id, &xdg_wm_base_interface, &kWmBase);
}
void BindSeat(wl_client* client, void* state, std::uint32_t version, std::uint32_t id) {
  wl_seat_send_capabilities(
      BindGlobal(client, state, version, id, &wl_seat_interface, &kSeat),
      WL_SEAT_CAPABILITY_POINTER | WL_SEAT_CAPABILITY_KEYBOARD | WL_SEAT_CAPABILITY_TOUCH);
}

}  // namespace

FakeCompositor::FakeCompositor(const std::string& runtime_folder, const std::string& socket_name)
    : state_(std::make_unique<State>()) {
  State* state = state_.get();
  state->display = wl_display_create();
  setenv("XDG_RUNTIME_DIR", runtime_folder.c_str(), 1);
  wl_display_add_socket(state->display, socket_name.c_str());
  wl_global_create(state->display, &wl_compositor_interface, 4, state, BindCompositor);
  wl_global_create(state->display, &wl_shm_interface, 1, state, BindShm);
  wl_global_create(state->display, &xdg_wm_base_interface, 1, state, BindWmBase);
  wl_global_create(state->display, &wl_seat_interface, 5, state, BindSeat);
  state->thread = std::thread([state] {
    wl_event_loop* loop = wl_display_get_event_loop(state->display);
    while (!state->stopping) {
      std::vector<std::function<void()>> actions;
      {
        std::lock_guard<std::mutex> hold(state->mutex);
        actions.swap(state->actions);
      }
      for (auto& action : actions) action();
      wl_display_flush_clients(state->display);
      wl_event_loop_dispatch(loop, 5);
      wl_display_flush_clients(state->display);
    }
  });
}

FakeCompositor::~FakeCompositor() {
  state_->stopping = true;
  state_->thread.join();
  wl_display_destroy_clients(state_->display);
  wl_display_destroy(state_->display);
}

void FakeCompositor::OnCompositorThread(const std::function<void(State&)>& action) {
  std::promise<void> done;
  {
    std::lock_guard<std::mutex> hold(state_->mutex);
    state_->actions.push_back([&] {
      action(*state_);
      done.set_value();
    });
  }
  done.get_future().wait();
}

void FakeCompositor::Offer(int width, int height) {
  OnCompositorThread([=](State& state) {
    state.offer_width = width;
    state.offer_height = height;
  });
}

void FakeCompositor::FocusOnMap(bool focus) {
  OnCompositorThread([=](State& state) { state.focus_on_map = focus; });
}

void FakeCompositor::PointerEnter(double x, double y) {
  OnCompositorThread([=](State& state) {
    if (!state.pointer || !state.last_mapped) return;
    wl_pointer_send_enter(state.pointer, state.serial++, state.last_mapped->resource,
                          wl_fixed_from_double(x), wl_fixed_from_double(y));
    wl_pointer_send_frame(state.pointer);
  });
}

void FakeCompositor::PointerLeave() {
  OnCompositorThread([](State& state) {
    if (!state.pointer || !state.last_mapped) return;
    wl_pointer_send_leave(state.pointer, state.serial++, state.last_mapped->resource);
    wl_pointer_send_frame(state.pointer);
  });
}

void FakeCompositor::TouchDown(double x, double y) {
  OnCompositorThread([=](State& state) {
    if (!state.touch || !state.last_mapped) return;
    wl_touch_send_down(state.touch, state.serial++, 0, state.last_mapped->resource, kFingerId,
                       wl_fixed_from_double(x), wl_fixed_from_double(y));
    wl_touch_send_frame(state.touch);
  });
}

void FakeCompositor::TouchMove(double x, double y) {
  OnCompositorThread([=](State& state) {
    if (!state.touch) return;
    wl_touch_send_motion(state.touch, 0, kFingerId, wl_fixed_from_double(x),
                         wl_fixed_from_double(y));
    wl_touch_send_frame(state.touch);
  });
}

void FakeCompositor::TouchUp() {
  OnCompositorThread([](State& state) {
    if (!state.touch) return;
    wl_touch_send_up(state.touch, state.serial++, 0, kFingerId);
    wl_touch_send_frame(state.touch);
  });
}

CompositorView FakeCompositor::Snapshot() {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->view;
}

}  // namespace platform::test
