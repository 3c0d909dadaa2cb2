// Start-up: single instance, the main window, the home program, the link thread, the pictures and
// the drawing surfaces, the settings, and the initial state, in that order.
#pragma once

#include "platform/recording_file.h"
#include "platform/win32.h"

enum class StartUpResult {
  Up,          // the message loop may run
  HandedOver,  // another instance runs: it was asked to the front, and this start ends with 0
  Failed,      // something could not be made: *failure says what
};
// With resumed, the panel starts from a state the flight recorder kept (a replay of a recording
// that starts mid-session): the record, the main window's visibility and timers, and the open link
// device are taken from it instead of the home program, the probing, the start-up packets and the
// settings file.
StartUpResult StartUp(HINSTANCE instance, int show_code, const char** failure,
                      const platform::RecordedEvent* resumed = nullptr);
// Registers the main window's class; the atom, or 0.
ATOM RegisterMainClass(HINSTANCE instance, LPCWSTR class_name);
// Starts a program by its storage-card path with a show code; nothing waits for it.
BOOL LaunchProgram(HWND owner, LPCWSTR file, LPCWSTR parameters, int show_code);
// An empty 24-bit bottom-up DIB section of the given size, or 0.
HBITMAP CreateCanvasDib(HDC dc, int width, int height);
// The BackBuffer and the LCD's backdrop and canvas DIB sections, of the screen's size, each
// selected into a DC of its own, with the DIB sections' headers read; false when the DIB sections
// cannot be had.
bool CreateDrawingSurfaces(HDC window_dc);

// The home program that the panel starts beside itself.
extern const LPCWSTR HomeProgramPath;
