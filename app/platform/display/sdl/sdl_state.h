// What the SDL backend's files share: the SDL window that shows each of the display thread's
// top-level windows, and how each concern reaches the others. Internal to display/sdl/; display
// thread only, except the host ids, which the desktop reads from any thread.
#pragma once

#include <SDL.h>

#include <map>
#include <vector>

#include "platform/win32.h"

namespace platform::display::sdl {

std::map<HWND, SDL_Window*>& SdlWindows();
// Our window shown by the SDL window of that id, or null.
HWND WindowOfSdlId(Uint32 id);

// sdl_present.cpp: showing the surfaces' pixels.
// Notes the windows whose framebuffer SDL invalidated (a change of size), as SDL queues events.
int NoteInvalidFramebuffer(void*, SDL_Event* event);
// Lends the window's pixels to the SDL window's framebuffer when it has our layout.
void AdoptFramebuffer(HWND window, SDL_Window* sdl_window);
// Shows the rectangles of the window's surface in its SDL window; false when nothing was shown.
bool ShowRects(HWND window, SDL_Window* sdl_window, const std::vector<RECT>& rects);
void ShowWhole(HWND window, SDL_Window* sdl_window);
// The SDL window goes: the window's pixels move back into memory of its own.
void ForgetFramebuffer(HWND window, SDL_Window* sdl_window);

// sdl_input.cpp: SDL's mouse, touch, key and window events as posted messages.
void HandleEvent(const SDL_Event& event);

// sdl_x11.cpp: the extras of SDL on an X server.
// Before SDL starts: the settings that make its windows show on a bare X server.
void PrepareX11();
// After it started on X11: our windows may vanish under a request, and their destruction by
// another client comes back as an event.
void WatchX11();
// Sets the X11 class of the SDL window and notes its id for the desktop.
void NameHostWindow(HWND window, SDL_Window* sdl_window);
void ForgetHostWindow(HWND window);
// The socket of SDL's connection to the X server, or -1 before its first window.
int X11Socket();
// Sends what Xlib holds unsent; true when it holds events read already, which no poll of the
// socket can see.
bool X11EventsReadAhead();
// The X11 window that shows our window, or 0; and the way back.
unsigned long HostWindowId(HWND window);
HWND WindowOfHostId(unsigned long host_id);
void NoteDestroyedByOthers(const SDL_SysWMmsg& message);
// Destroys the windows another X client destroyed, outside SDL's event handling.
void DestroyWindowsDestroyedByOthers();

}  // namespace platform::display::sdl
