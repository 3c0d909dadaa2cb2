// The seat, through libseat: logind's session (the service's PAMName=login on tty1), seatd, or,
// for root, libseat's built-in backend. The card and the input devices are opened through it, so
// the panel needs no access of its own to /dev/dri or /dev/input. A switch to another virtual
// terminal disables the seat: the display stops drawing, the input devices are let go and the
// disable is acknowledged; when the seat comes back both resume and the screen is drawn whole.
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/diagnostics.h"
#include "platform/display/drm/drm_state.h"

// libseat's header declares its functions without C linkage.
extern "C" {
#include <libseat.h>
}

namespace platform::display::drm {
namespace {

// How long a start waits for the seat to be handed over: logind answers at once when the
// session is in front; a session in the background gets its seat only once it comes forward.
constexpr auto kSeatWait = std::chrono::seconds(3);

void Enable(libseat*, void*) {
  DrmDisplay& display = Drm();
  display.seat_enabled = true;
  // At start no screen was set up yet; OpenCard follows.
  if (display.card >= 0) SeatEnabled();
}

void Disable(libseat* seat, void*) {
  DrmDisplay& display = Drm();
  display.seat_enabled = false;
  if (display.card >= 0) SeatDisabled();
  libseat_disable_seat(seat);
}

const libseat_seat_listener kSeatListener = {Enable, Disable};

// libseat's errors, one line each in the program's log.
void LogSeatMessage(libseat_log_level, const char* format, va_list arguments) {
  char line[512];
  std::vsnprintf(line, sizeof line, format, arguments);
  std::string text(line);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  LogLine(LogPriority::Warning, "seat: " + text);
}

}  // namespace

bool OpenSeat(std::string* why_not) {
  libseat_set_log_handler(LogSeatMessage);
  libseat_set_log_level(LIBSEAT_LOG_LEVEL_ERROR);
  DrmDisplay& display = Drm();
  display.seat = libseat_open_seat(&kSeatListener, nullptr);
  if (!display.seat) {
    *why_not = "no seat: neither logind's session nor seatd answered, and the program is not root";
    return false;
  }
  const auto give_up = std::chrono::steady_clock::now() + kSeatWait;
  while (!display.seat_enabled && std::chrono::steady_clock::now() < give_up) {
    if (libseat_dispatch(display.seat, 100) < 0) break;
  }
  if (!display.seat_enabled) {
    libseat_close_seat(display.seat);
    display.seat = nullptr;
    // libseat said why in the lines before: logind without polkit, a session in the background.
    *why_not = "the seat was not handed over";
    return false;
  }
  return true;
}

void CloseSeat() {
  DrmDisplay& display = Drm();
  libseat_close_seat(display.seat);
  display.seat = nullptr;
  display.seat_enabled = false;
}

void DispatchSeat() { libseat_dispatch(Drm().seat, 0); }

const char* SeatName() { return libseat_seat_name(Drm().seat); }

int SeatDescriptor() { return libseat_get_fd(Drm().seat); }

int OpenSeatDevice(const char* path, int* device_id) {
  int descriptor = -1;
  *device_id = libseat_open_device(Drm().seat, path, &descriptor);
  return *device_id < 0 ? -1 : descriptor;
}

void CloseSeatDevice(int device_id) { libseat_close_device(Drm().seat, device_id); }

}  // namespace platform::display::drm
