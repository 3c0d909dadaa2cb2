// The seat's input devices through libinput's udev backend: it finds the touch screens and
// pointers of the seat, follows devices that come late, go and come back, and applies the
// calibration udev gives a touch screen (LIBINPUT_CALIBRATION_MATRIX). Devices are opened through
// the seat, so the panel needs no membership of the input group. Each event becomes one of the
// pen tracker's (drm_pen.h), in screen pixels; keys are not read. Start reading at DispatchInput.
#include <fcntl.h>
#include <libinput.h>
#include <libudev.h>
#include <linux/input-event-codes.h>
#include <unistd.h>

#include <cerrno>

#include "platform/display/drm/drm_state.h"

namespace platform::display::drm {
namespace {

int OpenRestricted(const char* path, int flags, void*) {
  int device_id = -1;
  const int descriptor = OpenSeatDevice(path, &device_id);
  if (descriptor < 0) return -errno;
  // The seat opens devices its own way; libinput reads them without blocking.
  fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) | (flags & O_NONBLOCK));
  Drm().input_devices[descriptor] = device_id;
  return descriptor;
}

void CloseRestricted(int descriptor, void*) {
  auto& devices = Drm().input_devices;
  const auto found = devices.find(descriptor);
  if (found != devices.end()) {
    CloseSeatDevice(found->second);
    devices.erase(found);
  }
  close(descriptor);
}

const libinput_interface kOpenThroughSeat = {OpenRestricted, CloseRestricted};

InputEvent TouchEvent(InputKind kind, libinput_event_touch* touch) {
  const DrmDisplay& display = Drm();
  InputEvent event{kind, libinput_event_get_device(libinput_event_touch_get_base_event(touch))};
  if (kind == InputKind::TouchDown || kind == InputKind::TouchMotion) {
    event.x =
        libinput_event_touch_get_x_transformed(touch, static_cast<std::uint32_t>(display.width));
    event.y =
        libinput_event_touch_get_y_transformed(touch, static_cast<std::uint32_t>(display.height));
  }
  if (kind != InputKind::TouchCancel) event.slot = libinput_event_touch_get_seat_slot(touch);
  return event;
}

InputEvent PointerEvent(libinput_event_type type, libinput_event_pointer* pointer,
                        libinput_device* device) {
  const DrmDisplay& display = Drm();
  InputEvent event{InputKind::PointerRelative, device};
  switch (type) {
    case LIBINPUT_EVENT_POINTER_MOTION:
      event.x = libinput_event_pointer_get_dx(pointer);
      event.y = libinput_event_pointer_get_dy(pointer);
      break;
    case LIBINPUT_EVENT_POINTER_MOTION_ABSOLUTE:
      event.kind = InputKind::PointerAbsolute;
      event.x = libinput_event_pointer_get_absolute_x_transformed(
          pointer, static_cast<std::uint32_t>(display.width));
      event.y = libinput_event_pointer_get_absolute_y_transformed(
          pointer, static_cast<std::uint32_t>(display.height));
      break;
    default:
      event.kind = libinput_event_pointer_get_button_state(pointer) == LIBINPUT_BUTTON_STATE_PRESSED
                       ? InputKind::ButtonPressed
                       : InputKind::ButtonReleased;
      break;
  }
  return event;
}

// A drawing tablet's pen: where it points moves the pointer, its tip is the left button.
std::vector<InputEvent> TabletEvents(libinput_event_type type, libinput_event_tablet_tool* tool,
                                     libinput_device* device) {
  const DrmDisplay& display = Drm();
  InputEvent moved{InputKind::PointerAbsolute, device};
  moved.x =
      libinput_event_tablet_tool_get_x_transformed(tool, static_cast<std::uint32_t>(display.width));
  moved.y = libinput_event_tablet_tool_get_y_transformed(
      tool, static_cast<std::uint32_t>(display.height));
  std::vector<InputEvent> events{moved};
  if (type == LIBINPUT_EVENT_TABLET_TOOL_TIP) {
    const bool down =
        libinput_event_tablet_tool_get_tip_state(tool) == LIBINPUT_TABLET_TOOL_TIP_DOWN;
    events.push_back(
        InputEvent{down ? InputKind::ButtonPressed : InputKind::ButtonReleased, device});
  }
  return events;
}

// The pen tracker's events for one of libinput's; none for what the panel does not read.
std::vector<InputEvent> TranslateEvent(libinput_event* event) {
  const libinput_event_type type = libinput_event_get_type(event);
  libinput_device* device = libinput_event_get_device(event);
  switch (type) {
    case LIBINPUT_EVENT_TOUCH_DOWN:
      return {TouchEvent(InputKind::TouchDown, libinput_event_get_touch_event(event))};
    case LIBINPUT_EVENT_TOUCH_MOTION:
      return {TouchEvent(InputKind::TouchMotion, libinput_event_get_touch_event(event))};
    case LIBINPUT_EVENT_TOUCH_UP:
      return {TouchEvent(InputKind::TouchUp, libinput_event_get_touch_event(event))};
    case LIBINPUT_EVENT_TOUCH_CANCEL:
      return {TouchEvent(InputKind::TouchCancel, libinput_event_get_touch_event(event))};
    case LIBINPUT_EVENT_POINTER_BUTTON:
      if (libinput_event_pointer_get_button(libinput_event_get_pointer_event(event)) != BTN_LEFT) {
        return {};
      }
      [[fallthrough]];
    case LIBINPUT_EVENT_POINTER_MOTION:
    case LIBINPUT_EVENT_POINTER_MOTION_ABSOLUTE:
      return {PointerEvent(type, libinput_event_get_pointer_event(event), device)};
    case LIBINPUT_EVENT_TABLET_TOOL_AXIS:
    case LIBINPUT_EVENT_TABLET_TOOL_TIP:
      return TabletEvents(type, libinput_event_get_tablet_tool_event(event), device);
    case LIBINPUT_EVENT_DEVICE_REMOVED:
      return {InputEvent{InputKind::DeviceRemoved, device}};
    default:
      return {};
  }
}

}  // namespace

bool OpenInput(std::string* why_not) {
  DrmDisplay& display = Drm();
  display.device_manager = udev_new();
  if (display.device_manager) {
    display.input =
        libinput_udev_create_context(&kOpenThroughSeat, nullptr, display.device_manager);
  }
  if (!display.input) {
    *why_not = "libinput cannot start";
    return false;
  }
  if (libinput_udev_assign_seat(display.input, SeatName()) != 0) {
    *why_not = "libinput cannot read the seat's devices";
    return false;
  }
  display.pen.screen_width = display.width;
  display.pen.screen_height = display.height;
  display.pen.pointer_x = display.width / 2.0;
  display.pen.pointer_y = display.height / 2.0;
  return true;
}

void CloseInput() {
  DrmDisplay& display = Drm();
  if (display.input) libinput_unref(display.input);
  if (display.device_manager) udev_unref(display.device_manager);
  display.input = nullptr;
  display.device_manager = nullptr;
}

void DispatchInput() {
  DrmDisplay& display = Drm();
  if (libinput_dispatch(display.input) != 0) return;
  while (libinput_event* event = libinput_get_event(display.input)) {
    for (const InputEvent& input : TranslateEvent(event)) {
      if (const auto pen = TrackPen(display.pen, input)) PenOnScreen(*pen);
    }
    libinput_event_destroy(event);
  }
}

// The devices close, and a pen held on one of them lifts.
void SuspendInput() {
  libinput_suspend(Drm().input);
  DispatchInput();
}

void ResumeInput() { libinput_resume(Drm().input); }

int InputDescriptor() { return libinput_get_fd(Drm().input); }

}  // namespace platform::display::drm
