// The pen: a seat's left pointer button or its first finger on the touch screen, reported at a
// point of the touched toplevel's surface, down, moving and up. Start reading at TouchDown and
// ButtonChanged. A window's pen goes the shared pen path (pen_input.h), which maps it onto the
// picture and keeps a press on a bar from starting anything; a seat's pen whose toplevel goes
// lifts where it last was. Over a toplevel that covers the screen the pointer is hidden: a kiosk
// panel shows no arrow.
#include <linux/input-event-codes.h>

#include "platform/display/wayland/wayland_state.h"

namespace platform::display::wayland {
namespace {

// The pointer's pen lifts where the pointer is, when it is down over that toplevel (null: any).
void LiftPointerPen(Seat* seat, const Toplevel* toplevel) {
  if (!seat->button_down || !seat->pointer_over || (toplevel && toplevel != seat->pointer_over)) {
    return;
  }
  // Cleared first: answering a box with this pen-up removes the toplevel.
  seat->button_down = false;
  PenOnToplevel(seat->pointer_over, PenAction::Up, seat->pointer_x, seat->pointer_y);
}

void PointerEntered(void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface* surface,
                    wl_fixed_t x, wl_fixed_t y) {
  auto* seat = static_cast<Seat*>(data);
  seat->pointer_over = ToplevelOfSurface(surface);
  seat->pointer_x = wl_fixed_to_double(x);
  seat->pointer_y = wl_fixed_to_double(y);
  if (seat->pointer_over && CoversScreen(*seat->pointer_over)) {
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
  }
}

// The compositor keeps sending motion and the release to the surface while the button is held,
// so a leave with the button down comes only when the surface goes: the pen lifts there. A finger
// held on the surface is none of the pointer's business and stays down.
void PointerLeft(void* data, wl_pointer*, std::uint32_t, wl_surface*) {
  auto* seat = static_cast<Seat*>(data);
  LiftPointerPen(seat, nullptr);
  seat->pointer_over = nullptr;
}

void PointerMoved(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
  auto* seat = static_cast<Seat*>(data);
  seat->pointer_x = wl_fixed_to_double(x);
  seat->pointer_y = wl_fixed_to_double(y);
  if (seat->button_down && seat->pointer_over) {
    PenOnToplevel(seat->pointer_over, PenAction::Move, seat->pointer_x, seat->pointer_y);
  }
}

void ButtonChanged(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
                   std::uint32_t state) {
  auto* seat = static_cast<Seat*>(data);
  Toplevel* toplevel = seat->pointer_over;
  if (button != BTN_LEFT || !toplevel) return;
  if (state == WL_POINTER_BUTTON_STATE_PRESSED && !seat->button_down && !seat->touched) {
    seat->button_down = true;
    PenOnToplevel(toplevel, PenAction::Down, seat->pointer_x, seat->pointer_y);
  } else if (state == WL_POINTER_BUTTON_STATE_RELEASED && seat->button_down) {
    // Cleared first: answering a box with this pen-up removes the toplevel.
    seat->button_down = false;
    PenOnToplevel(toplevel, PenAction::Up, seat->pointer_x, seat->pointer_y);
  }
}

void IgnoreAxis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
void IgnorePointerFrame(void*, wl_pointer*) {}
void IgnoreAxisSource(void*, wl_pointer*, std::uint32_t) {}
void IgnoreAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
void IgnoreAxisStep(void*, wl_pointer*, std::uint32_t, std::int32_t) {}

void TouchDown(void* data, wl_touch*, std::uint32_t, std::uint32_t, wl_surface* surface,
               std::int32_t id, wl_fixed_t x, wl_fixed_t y) {
  auto* seat = static_cast<Seat*>(data);
  Toplevel* toplevel = ToplevelOfSurface(surface);
  // Other fingers are ignored while one acts as the pen.
  if (!toplevel || seat->touched || seat->button_down) return;
  seat->touched = toplevel;
  seat->touch_id = id;
  seat->touch_x = wl_fixed_to_double(x);
  seat->touch_y = wl_fixed_to_double(y);
  PenOnToplevel(toplevel, PenAction::Down, seat->touch_x, seat->touch_y);
}

void TouchUp(void* data, wl_touch*, std::uint32_t, std::uint32_t, std::int32_t id) {
  auto* seat = static_cast<Seat*>(data);
  if (!seat->touched || id != seat->touch_id) return;
  LiftSeatPen(seat, seat->touched);
}

void TouchMoved(void* data, wl_touch*, std::uint32_t, std::int32_t id, wl_fixed_t x, wl_fixed_t y) {
  auto* seat = static_cast<Seat*>(data);
  if (!seat->touched || id != seat->touch_id) return;
  seat->touch_x = wl_fixed_to_double(x);
  seat->touch_y = wl_fixed_to_double(y);
  PenOnToplevel(seat->touched, PenAction::Move, seat->touch_x, seat->touch_y);
}

void IgnoreTouchFrame(void*, wl_touch*) {}

// The compositor took the touch over for a gesture of its own; the finger lifts for us.
void TouchCancelled(void* data, wl_touch*) {
  auto* seat = static_cast<Seat*>(data);
  LiftSeatPen(seat, seat->touched);
}

void IgnoreTouchShape(void*, wl_touch*, std::int32_t, wl_fixed_t, wl_fixed_t) {}
void IgnoreTouchOrientation(void*, wl_touch*, std::int32_t, wl_fixed_t) {}

}  // namespace

const wl_pointer_listener kPointerListener = {
    PointerEntered,     PointerLeft,      PointerMoved,   ButtonChanged,  IgnoreAxis,
    IgnorePointerFrame, IgnoreAxisSource, IgnoreAxisStop, IgnoreAxisStep, IgnoreAxisStep};

const wl_touch_listener kTouchListener = {TouchDown,
                                          TouchUp,
                                          TouchMoved,
                                          IgnoreTouchFrame,
                                          TouchCancelled,
                                          IgnoreTouchShape,
                                          IgnoreTouchOrientation};

void LiftSeatPen(Seat* seat, Toplevel* toplevel) {
  LiftPointerPen(seat, toplevel);
  if (seat->touched && (!toplevel || toplevel == seat->touched)) {
    Toplevel* touched = seat->touched;
    seat->touched = nullptr;
    PenOnToplevel(touched, PenAction::Up, seat->touch_x, seat->touch_y);
  }
}

}  // namespace platform::display::wayland
