// The one record of the Wayland display and the records hanging off it: the connection and the
// globals it uses, our toplevels (the display thread's top-level windows and the message boxes)
// and the seats. Internal to the wayland_*.cpp files. Every field belongs to the display thread,
// except the two a comment marks as read by any thread and the wake pipe's write end.
#pragma once

#include <wayland-client.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/display/letterbox.h"
#include "platform/display/message_box_picture.h"
#include "platform/display/pen_input.h"
#include "platform/display/wake_pipe.h"
#include "xdg-shell-client-protocol.h"

namespace platform::display::wayland {

struct Toplevel;

// Shared memory the compositor reads the toplevel's pixels from, of the toplevel's area size.
struct Buffer {
  Toplevel* owner = nullptr;
  wl_buffer* handle = nullptr;
  std::uint32_t* pixels = nullptr;
  std::size_t bytes = 0;
  int width = 0;
  int height = 0;
  bool held_by_compositor = false;
  // Of a size the toplevel no longer has: freed as soon as the compositor lets go of it.
  bool retired = false;
  // What changed in the toplevel since this buffer was last drawn, in area coordinates.
  std::vector<RECT> stale;
};

// One of our windows on the compositor: a top-level window of the display thread, or a message
// box. It has a surface only while shown; hiding destroys it, showing makes a new one.
struct Toplevel {
  HWND window = nullptr;  // null for a message box
  int box_token = 0;
  MessageBoxPicture box;
  std::string title;
  int picture_width = 0;
  int picture_height = 0;
  bool fullscreen_asked = false;
  bool shown = false;

  wl_surface* surface = nullptr;
  xdg_surface* shell_surface = nullptr;
  xdg_toplevel* role = nullptr;
  // A configure was acknowledged: buffers may be attached.
  bool configured = false;
  // A buffer was committed: the compositor shows the toplevel.
  bool mapped = false;
  // From the last toplevel configure: the size offered (zero lets us choose) and whether the
  // compositor made the toplevel cover its output.
  int offered_width = 0;
  int offered_height = 0;
  bool covers_output = false;

  Letterbox letterbox;
  std::vector<std::unique_ptr<Buffer>> buffers;
  // A buffer could not be made, and the log said so; cleared when one is made again.
  bool buffer_failure_said = false;
  // Changed since the last commit, in area coordinates.
  std::vector<RECT> damage;
};

// A seat's pointer and first finger act as the pen; its keyboard tells the focus.
struct Seat {
  std::uint32_t global_name = 0;
  wl_seat* handle = nullptr;
  wl_pointer* pointer = nullptr;
  wl_touch* touch = nullptr;
  wl_keyboard* keyboard = nullptr;

  Toplevel* pointer_over = nullptr;
  double pointer_x = 0;
  double pointer_y = 0;
  // The left button went down on a toplevel and is not up yet.
  bool button_down = false;

  Toplevel* touched = nullptr;  // the toplevel the pen finger went down on, until it lifts
  std::int32_t touch_id = 0;
  double touch_x = 0;
  double touch_y = 0;

  Toplevel* keyboard_focus = nullptr;
};

struct WaylandDisplay {
  wl_display* connection = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  xdg_wm_base* wm_base = nullptr;
  std::vector<std::unique_ptr<Seat>> seats;
  std::vector<std::unique_ptr<Toplevel>> toplevels;
  WakePipe wake;
  // The compositor went away: nothing reaches it any more, and the windows were told to close.
  bool lost = false;

  // Read by the desktop from any thread: whether a seat has a keyboard, and the window of ours
  // that has its focus (null: none of ours).
  std::atomic<bool> has_keyboard{false};
  std::atomic<HWND> focused_window{nullptr};
};

WaylandDisplay& Wayland();

// wayland_connection.cpp: false, with the reason, when no compositor with wl_compositor, wl_shm
// and xdg_wm_base answers.
bool ConnectToCompositor(std::string* why_not);

// wayland_loop.cpp: waits up to timeout_ms (negative: no limit) for the compositor or a wake and
// handles what came; false when the connection broke. Once it is lost, waits for wakes only.
bool WaitForCompositor(int timeout_ms);
// Sends a round trip and handles what comes until the compositor answered it, for at most
// timeout_ms; false when the connection broke.
bool RoundTrip(int timeout_ms);

// wayland_toplevels.cpp
Toplevel* AddToplevel(std::unique_ptr<Toplevel> toplevel);
Toplevel* ToplevelOfWindow(HWND window);
Toplevel* ToplevelOfSurface(wl_surface* surface);
void ShowToplevel(Toplevel* toplevel, bool shown);
// Shows it anew, above the others: compositors put and focus a newly shown toplevel on top.
void RemapToplevel(Toplevel* toplevel);
void RemoveToplevel(Toplevel* toplevel);
// The shown window on top of the stacking order, which owns the message boxes; or null.
Toplevel* TopmostShownWindow();
// The picture the toplevel shows (rows of picture_width pixels), or null.
const std::uint32_t* PictureOf(const Toplevel& toplevel);
// The pointer is hidden over a toplevel that covers the screen.
bool CoversScreen(const Toplevel& toplevel);

// wayland_buffers.cpp
// The compositor gave the toplevel an area of that size; everything is drawn again.
void ResizeArea(Toplevel* toplevel, int width, int height);
// Marks picture rectangles changed and shows them when the compositor is ready for them.
void PresentPictureRects(Toplevel* toplevel, const std::vector<RECT>& rects);
void CommitChanges(Toplevel* toplevel);
void DestroyBuffers(Toplevel* toplevel);

// wayland_seats.cpp
void AddSeat(std::uint32_t global_name, std::uint32_t version);
void RemoveSeat(std::uint32_t global_name);
// The toplevel's surface goes away: no seat may point at it any more.
void ForgetInputToplevel(Toplevel* toplevel);

// wayland_pen.cpp: the pointer and touch listeners; a seat's pen held on a toplevel whose surface
// goes (or on any, for null) lifts where it last was.
extern const wl_pointer_listener kPointerListener;
extern const wl_touch_listener kTouchListener;
void LiftSeatPen(Seat* seat, Toplevel* toplevel);

// wayland_display.cpp: the pen at a point of the toplevel's surface, from either the pointer or a
// finger. A window's goes the shared pen path; a box is answered by a pen lifted on its button.
void PenOnToplevel(Toplevel* toplevel, PenAction action, double x, double y);
void CloseRequested(Toplevel* toplevel);

// wayland_message_box.cpp
bool OpenMessageBox(int token, LPCWSTR text, LPCWSTR caption);
void AnswerMessageBox(Toplevel* box);
// Puts the open boxes above the windows again, owned by the topmost shown window.
void RaiseMessageBoxes();
// Return, Enter, Escape and Space answer a box with the keyboard focus (evdev key codes).
void KeyOnMessageBox(Toplevel* box, std::uint32_t key);

}  // namespace platform::display::wayland
