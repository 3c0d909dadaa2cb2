// The pen from the input devices of the seat, in screen pixels: the first finger on a touch
// screen, or the left button of a pointer. An absolute pointer (a tablet, QEMU's virtio-tablet)
// puts the pointer where it points; a relative one (a mouse) moves it from where it was, without
// any arrow drawn: a kiosk panel shows none, and a mouse is for the bench, not the car. Kept apart
// from libinput's types, which drm_input.cpp turns into these events.
//
// The pen lifts where it was when its finger is cancelled or its device goes away, so that no
// button on the panel stays pressed.
#pragma once

#include <optional>

#include "platform/display/pen_input.h"

namespace platform::display::drm {

enum class InputKind {
  TouchDown,        // slot, x, y
  TouchMotion,      // slot, x, y
  TouchUp,          // slot
  TouchCancel,      // every finger of the device lifts
  PointerAbsolute,  // x, y
  PointerRelative,  // x, y: the distance moved
  ButtonPressed,    // the left button (or a tablet pen's tip)
  ButtonReleased,
  DeviceRemoved,
};

struct InputEvent {
  InputKind kind = InputKind::PointerAbsolute;
  const void* device = nullptr;  // which device sent it
  int slot = 0;
  double x = 0;
  double y = 0;
};

struct PenEvent {
  PenAction action = PenAction::Down;
  double x = 0;
  double y = 0;
};

struct PenTracker {
  int screen_width = 0;
  int screen_height = 0;
  double pointer_x = 0;
  double pointer_y = 0;
  enum class Holder { Nobody, Finger, Button } holder = Holder::Nobody;
  const void* device = nullptr;  // the holder's device
  int slot = 0;                  // the finger's
  double pen_x = 0;
  double pen_y = 0;
};

// The pen's news from one input event, if any.
std::optional<PenEvent> TrackPen(PenTracker& tracker, const InputEvent& event);

}  // namespace platform::display::drm
