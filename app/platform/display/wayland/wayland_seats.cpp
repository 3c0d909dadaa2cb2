// Seats: the input devices the compositor groups, each with a pointer, a touch screen and a
// keyboard as it has them. A seat may come at any time (a touch screen that enumerates late), lose
// a device or go again, and there may be none at all. Start reading at AddSeat. The keyboard is
// read for its focus, which tells whether one of our windows is in front, and for the keys that
// answer a message box; the pointer and the touch screen act as the pen (wayland_pen.cpp).
#include <unistd.h>

#include <algorithm>

#include "platform/display/wayland/wayland_state.h"

namespace platform::display::wayland {
namespace {

// wl_pointer.frame came with version 5; nothing newer is needed.
constexpr std::uint32_t kSeatVersion = 5;

// Which window of ours has a keyboard's focus, for the desktop on any thread.
void PublishFocus() {
  WaylandDisplay& display = Wayland();
  bool has_keyboard = false;
  HWND focused = nullptr;
  for (const auto& seat : display.seats) {
    if (!seat->keyboard) continue;
    has_keyboard = true;
    if (!focused && seat->keyboard_focus) focused = seat->keyboard_focus->window;
  }
  display.has_keyboard = has_keyboard;
  display.focused_window = focused;
}

// The keymap is not needed: box keys are read as evdev codes, which no layout moves.
void CloseKeymap(void*, wl_keyboard*, std::uint32_t, std::int32_t keymap, std::uint32_t) {
  close(keymap);
}

void KeyboardEntered(void* data, wl_keyboard*, std::uint32_t, wl_surface* surface, wl_array*) {
  static_cast<Seat*>(data)->keyboard_focus = ToplevelOfSurface(surface);
  PublishFocus();
}

void KeyboardLeft(void* data, wl_keyboard*, std::uint32_t, wl_surface*) {
  static_cast<Seat*>(data)->keyboard_focus = nullptr;
  PublishFocus();
}

void KeyChanged(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
                std::uint32_t state) {
  Toplevel* focus = static_cast<Seat*>(data)->keyboard_focus;
  if (focus && !focus->window && state == WL_KEYBOARD_KEY_STATE_PRESSED) {
    KeyOnMessageBox(focus, key);
  }
}

void IgnoreModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                     std::uint32_t, std::uint32_t) {}

void IgnoreRepeat(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

const wl_keyboard_listener kKeyboardListener = {CloseKeymap, KeyboardEntered, KeyboardLeft,
                                                KeyChanged,  IgnoreModifiers, IgnoreRepeat};

// The release requests came with version 3; an older device can only be dropped on our side.
template <typename Device>
void Release(Device*& device, std::uint32_t release_since, void (*release)(Device*),
             void (*destroy)(Device*)) {
  if (!device) return;
  if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(device)) >= release_since) {
    release(device);
  } else {
    destroy(device);
  }
  device = nullptr;
}

void ReleasePointer(Seat* seat) {
  LiftSeatPen(seat, nullptr);
  seat->pointer_over = nullptr;
  Release(seat->pointer, WL_POINTER_RELEASE_SINCE_VERSION, wl_pointer_release, wl_pointer_destroy);
}

void ReleaseTouch(Seat* seat) {
  LiftSeatPen(seat, nullptr);
  Release(seat->touch, WL_TOUCH_RELEASE_SINCE_VERSION, wl_touch_release, wl_touch_destroy);
}

void ReleaseKeyboard(Seat* seat) {
  seat->keyboard_focus = nullptr;
  Release(seat->keyboard, WL_KEYBOARD_RELEASE_SINCE_VERSION, wl_keyboard_release,
          wl_keyboard_destroy);
}

void CapabilitiesChanged(void* data, wl_seat* handle, std::uint32_t capabilities) {
  auto* seat = static_cast<Seat*>(data);
  if ((capabilities & WL_SEAT_CAPABILITY_POINTER) && !seat->pointer) {
    seat->pointer = wl_seat_get_pointer(handle);
    wl_pointer_add_listener(seat->pointer, &kPointerListener, seat);
  } else if (!(capabilities & WL_SEAT_CAPABILITY_POINTER)) {
    ReleasePointer(seat);
  }
  if ((capabilities & WL_SEAT_CAPABILITY_TOUCH) && !seat->touch) {
    seat->touch = wl_seat_get_touch(handle);
    wl_touch_add_listener(seat->touch, &kTouchListener, seat);
  } else if (!(capabilities & WL_SEAT_CAPABILITY_TOUCH)) {
    ReleaseTouch(seat);
  }
  if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !seat->keyboard) {
    seat->keyboard = wl_seat_get_keyboard(handle);
    wl_keyboard_add_listener(seat->keyboard, &kKeyboardListener, seat);
  } else if (!(capabilities & WL_SEAT_CAPABILITY_KEYBOARD)) {
    ReleaseKeyboard(seat);
  }
  PublishFocus();
}

void IgnoreSeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener kSeatListener = {CapabilitiesChanged, IgnoreSeatName};

}  // namespace

void AddSeat(std::uint32_t global_name, std::uint32_t version) {
  WaylandDisplay& display = Wayland();
  auto seat = std::make_unique<Seat>();
  seat->global_name = global_name;
  seat->handle = static_cast<wl_seat*>(wl_registry_bind(
      display.registry, global_name, &wl_seat_interface, std::min(version, kSeatVersion)));
  wl_seat_add_listener(seat->handle, &kSeatListener, seat.get());
  display.seats.push_back(std::move(seat));
}

void RemoveSeat(std::uint32_t global_name) {
  auto& seats = Wayland().seats;
  const auto found = std::find_if(seats.begin(), seats.end(), [global_name](const auto& seat) {
    return seat->global_name == global_name;
  });
  if (found == seats.end()) return;
  Seat* seat = found->get();
  ReleasePointer(seat);
  ReleaseTouch(seat);
  ReleaseKeyboard(seat);
  if (wl_seat_get_version(seat->handle) >= WL_SEAT_RELEASE_SINCE_VERSION) {
    wl_seat_release(seat->handle);
  } else {
    wl_seat_destroy(seat->handle);
  }
  seats.erase(found);
  PublishFocus();
}

void ForgetInputToplevel(Toplevel* toplevel) {
  for (auto& seat : Wayland().seats) {
    // A window hears the pen lift; a box that goes is answered already.
    if (toplevel->window) LiftSeatPen(seat.get(), toplevel);
    if (seat->pointer_over == toplevel) {
      seat->pointer_over = nullptr;
      seat->button_down = false;
    }
    if (seat->touched == toplevel) seat->touched = nullptr;
    if (seat->keyboard_focus == toplevel) seat->keyboard_focus = nullptr;
  }
  PublishFocus();
}

}  // namespace platform::display::wayland
