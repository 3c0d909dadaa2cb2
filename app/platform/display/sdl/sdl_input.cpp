// SDL's input and window events as posted messages: the left button (and the touches SDL turns
// into it, SDL_HINT_TOUCH_MOUSE_EVENTS) as the pen, through the shared pen path in the SDL
// window's pixels; the right button; keys as virtual-key codes for the accelerators; the window
// manager's close as WM_CLOSE. Start reading at HandleEvent.
#include "platform/display/display_backend.h"
#include "platform/display/pen_input.h"
#include "platform/display/sdl/sdl_message_box.h"
#include "platform/display/sdl/sdl_state.h"

namespace platform::display::sdl {
namespace {

// Win32 virtual-key codes of the keys that have one besides letters and digits.
constexpr std::pair<SDL_Keycode, WPARAM> kVirtualKeys[] = {
    {SDLK_BACKSPACE, 0x08}, {SDLK_TAB, 0x09},    {SDLK_RETURN, 0x0D},   {SDLK_ESCAPE, 0x1B},
    {SDLK_SPACE, 0x20},     {SDLK_PAGEUP, 0x21}, {SDLK_PAGEDOWN, 0x22}, {SDLK_END, 0x23},
    {SDLK_HOME, 0x24},      {SDLK_LEFT, 0x25},   {SDLK_UP, 0x26},       {SDLK_RIGHT, 0x27},
    {SDLK_DOWN, 0x28},      {SDLK_INSERT, 0x2D}, {SDLK_DELETE, 0x2E},   {SDLK_LSHIFT, 0x10},
    {SDLK_RSHIFT, 0x10},    {SDLK_LCTRL, 0x11},  {SDLK_RCTRL, 0x11},    {SDLK_LALT, 0x12},
    {SDLK_RALT, 0x12},      {SDLK_F1, 0x70},     {SDLK_F2, 0x71},       {SDLK_F3, 0x72},
    {SDLK_F4, 0x73},        {SDLK_F5, 0x74},     {SDLK_F6, 0x75},       {SDLK_F7, 0x76},
    {SDLK_F8, 0x77},        {SDLK_F9, 0x78},     {SDLK_F10, 0x79},      {SDLK_F11, 0x7A},
    {SDLK_F12, 0x7B},
};

WPARAM VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  for (const auto& [sdl_key, virtual_key] : kVirtualKeys) {
    if (sdl_key == key) return virtual_key;
  }
  return 0;
}

// Repeat count 1, and the modifiers held, in the bits core reads them from.
LPARAM KeyParameter(Uint16 modifiers) {
  LPARAM parameter = 1;
  if (modifiers & KMOD_CTRL) parameter |= kKeyControlDown;
  if (modifiers & KMOD_SHIFT) parameter |= kKeyShiftDown;
  if (modifiers & KMOD_ALT) parameter |= kKeyAltDown;
  return parameter;
}

// A point of the SDL window, which is the area the window's picture is shown in.
void ReportPenAt(Uint32 sdl_id, int x, int y, PenAction action) {
  HWND window = WindowOfSdlId(sdl_id);
  if (!window) return;
  int width = 0, height = 0;
  SDL_GetWindowSize(SdlWindows()[window], &width, &height);
  ReportPen(window, x, y, width, height, action);
}

// The right button is no pen: a press or release on the picture, at the pixel under it.
void PostRightButton(const SDL_MouseButtonEvent& button, bool down) {
  HWND window = WindowOfSdlId(button.windowID);
  if (!window) return;
  int width = 0, height = 0;
  SDL_GetWindowSize(SdlWindows()[window], &width, &height);
  POINT pixel{};
  if (!PenPixel(window, button.x, button.y, width, height, &pixel)) return;
  PostInput(window, down ? WM_RBUTTONDOWN : WM_RBUTTONUP, down ? MK_RBUTTON : 0,
            MAKELPARAM(pixel.x, pixel.y));
}

void HandleButton(const SDL_MouseButtonEvent& button, bool down) {
  if (button.button == SDL_BUTTON_LEFT) {
    ReportPenAt(button.windowID, button.x, button.y, down ? PenAction::Down : PenAction::Up);
  } else if (button.button == SDL_BUTTON_RIGHT) {
    PostRightButton(button, down);
  }
}

void HandleMotion(const SDL_MouseMotionEvent& motion) {
  if (motion.state & SDL_BUTTON_LMASK) {
    ReportPenAt(motion.windowID, motion.x, motion.y, PenAction::Move);
  }
}

void PostKey(const SDL_KeyboardEvent& key, bool down) {
  HWND window = WindowOfSdlId(key.windowID);
  const WPARAM virtual_key = VirtualKey(key.keysym.sym);
  if (!window || virtual_key == 0) return;
  PostInput(window, down ? WM_KEYDOWN : WM_KEYUP, virtual_key, KeyParameter(key.keysym.mod));
}

void HandleWindowEvent(const SDL_WindowEvent& event) {
  HWND window = WindowOfSdlId(event.windowID);
  if (!window) return;
  if (event.event == SDL_WINDOWEVENT_CLOSE) {
    PostMessageW(window, WM_CLOSE, 0, 0);
  } else if (event.event == SDL_WINDOWEVENT_EXPOSED ||
             event.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
    ShowWhole(window, SdlWindows()[window]);
    InvalidateRect(window, nullptr, FALSE);
  }
}

}  // namespace

void HandleEvent(const SDL_Event& event) {
  if (HandleMessageBoxEvent(event)) return;
  switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
      HandleButton(event.button, true);
      break;
    case SDL_MOUSEBUTTONUP:
      HandleButton(event.button, false);
      break;
    case SDL_MOUSEMOTION:
      HandleMotion(event.motion);
      break;
    case SDL_KEYDOWN:
      PostKey(event.key, true);
      break;
    case SDL_KEYUP:
      PostKey(event.key, false);
      break;
    case SDL_WINDOWEVENT:
      HandleWindowEvent(event.window);
      break;
    case SDL_SYSWMEVENT:
      NoteDestroyedByOthers(*event.syswm.msg);
      break;
    default:
      break;
  }
}

}  // namespace platform::display::sdl
