// The pen's state from the input events. Start reading at TrackPen.
#include "platform/display/drm/drm_pen.h"

#include <algorithm>

namespace platform::display::drm {
namespace {

using Holder = PenTracker::Holder;

double Clamp(double value, int size) { return std::clamp(value, 0.0, std::max(size - 1, 0) * 1.0); }

std::optional<PenEvent> PenTo(PenTracker& tracker, PenAction action, double x, double y) {
  tracker.pen_x = x;
  tracker.pen_y = y;
  return PenEvent{action, x, y};
}

std::optional<PenEvent> Lift(PenTracker& tracker) {
  tracker.holder = Holder::Nobody;
  tracker.device = nullptr;
  return PenEvent{PenAction::Up, tracker.pen_x, tracker.pen_y};
}

bool HoldsFinger(const PenTracker& tracker, const InputEvent& event) {
  return tracker.holder == Holder::Finger && tracker.device == event.device &&
         tracker.slot == event.slot;
}

// The pointer's position, also while a finger holds the pen: the next press starts there.
std::optional<PenEvent> MovePointer(PenTracker& tracker, double x, double y) {
  tracker.pointer_x = Clamp(x, tracker.screen_width);
  tracker.pointer_y = Clamp(y, tracker.screen_height);
  if (tracker.holder != Holder::Button) return std::nullopt;
  return PenTo(tracker, PenAction::Move, tracker.pointer_x, tracker.pointer_y);
}

}  // namespace

std::optional<PenEvent> TrackPen(PenTracker& tracker, const InputEvent& event) {
  switch (event.kind) {
    case InputKind::TouchDown:
      if (tracker.holder != Holder::Nobody) return std::nullopt;
      tracker.holder = Holder::Finger;
      tracker.device = event.device;
      tracker.slot = event.slot;
      return PenTo(tracker, PenAction::Down, Clamp(event.x, tracker.screen_width),
                   Clamp(event.y, tracker.screen_height));
    case InputKind::TouchMotion:
      if (!HoldsFinger(tracker, event)) return std::nullopt;
      return PenTo(tracker, PenAction::Move, Clamp(event.x, tracker.screen_width),
                   Clamp(event.y, tracker.screen_height));
    case InputKind::TouchUp:
      if (!HoldsFinger(tracker, event)) return std::nullopt;
      return Lift(tracker);
    case InputKind::TouchCancel:
      if (tracker.holder != Holder::Finger || tracker.device != event.device) return std::nullopt;
      return Lift(tracker);
    case InputKind::PointerAbsolute:
      return MovePointer(tracker, event.x, event.y);
    case InputKind::PointerRelative:
      return MovePointer(tracker, tracker.pointer_x + event.x, tracker.pointer_y + event.y);
    case InputKind::ButtonPressed:
      if (tracker.holder != Holder::Nobody) return std::nullopt;
      tracker.holder = Holder::Button;
      tracker.device = event.device;
      return PenTo(tracker, PenAction::Down, tracker.pointer_x, tracker.pointer_y);
    case InputKind::ButtonReleased:
      if (tracker.holder != Holder::Button || tracker.device != event.device) return std::nullopt;
      return Lift(tracker);
    case InputKind::DeviceRemoved:
      if (tracker.holder == Holder::Nobody || tracker.device != event.device) return std::nullopt;
      return Lift(tracker);
  }
  return std::nullopt;
}

}  // namespace platform::display::drm
