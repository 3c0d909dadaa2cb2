// How the platform's modules reach each other: core (windows, queues, timers, threads, clocks),
// display (SDL2 and headless backends), gdi (device contexts and bitmaps) and desktop (the host's
// top-level windows). Nothing outside app/platform/ includes this header.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/win32.h"

namespace platform {

// ---- Provided by core ---------------------------------------------------------------------------

// The platform's own windows, for the desktop's lookups when no X server is there.
struct WindowInfo {
  HWND handle;
  const WCHAR* class_name;
  const WCHAR* title;
  bool top_level;
  bool visible;
  RECT rect;  // screen position and size
};
bool DescribeWindow(HWND window, WindowInfo* info);
void ForEachWindow(const std::function<void(const WindowInfo&)>& visit);

// Current time in milliseconds of the active clock (real or virtual); the base is arbitrary.
std::int64_t NowMs();

// True while the virtual clock drives time (then the display is always headless).
bool VirtualTimeActive();

// ---- Provided by display ------------------------------------------------------------------------

// Every window has a 32-bit XRGB surface (0x00RRGGBB per pixel) of its own size.
struct Surface32 {
  std::uint32_t* pixels;
  int width;
  int height;
  int stride;  // bytes per row
};

// Core tells the display about windows as they come and go. Called on the window's own thread.
void DisplayWindowCreated(HWND window, const RECT& rect, bool top_level);
void DisplayWindowShown(HWND window, bool visible);
void DisplayWindowDestroyed(HWND window);

// The window's surface, or false for a window the display does not know.
bool DisplayWindowSurface(HWND window, Surface32* surface);
// gdi marks what it drew on a window context, and presents at ReleaseDC and EndPaint.
void DisplayMarkDirty(HWND window, const RECT& rect);
void DisplayPresent(HWND window);

// Whether the calling thread must pump host events while it waits (the thread that owns the
// displayed windows, when a real display runs).
bool DisplayPumpsThisThread();
// Waits on the calling thread for host input or DisplayWake, at most timeout_ms (negative: no
// limit), turning host events into posted messages. Returns early on either.
void DisplayWaitEvents(int timeout_ms);
// Ends a DisplayWaitEvents from any thread (a message was posted to the waiting thread).
void DisplayWake();

// A message box shown by the display. Begin returns a token; Done tells whether the user answered.
// The headless display records the box and answers it at once.
int DisplayBeginMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption);
bool DisplayMessageBoxDone(int token);

}  // namespace platform
