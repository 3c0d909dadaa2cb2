// Message boxes drawn by the platform itself, in SDL windows of the display thread: the text, and
// an OK button that a touch, Return, Escape or the window manager's close answers. SDL's own
// boxes run in a forked helper process that survives a killed program and keeps its windows on
// the X server, where the next start would find the dead panel and give way to it.
#include "platform/display/sdl/sdl_message_box.h"

#include <algorithm>
#include <vector>

#include "platform/display/display_backend.h"
#include "platform/display/message_box_picture.h"
#include "platform/internal/module_interfaces.h"

namespace platform::display::sdl {
namespace {

struct OpenBox {
  int token;
  SDL_Window* window;
  MessageBoxPicture picture;
};

// Display thread only.
std::vector<OpenBox> open_boxes;

void Show(const OpenBox& box) {
  SDL_Surface* surface = SDL_GetWindowSurface(box.window);
  if (!surface) return;
  const MessageBoxPicture& picture = box.picture;
  SDL_ConvertPixels(std::min(picture.width, surface->w), std::min(picture.height, surface->h),
                    SDL_PIXELFORMAT_XRGB8888, picture.pixels, picture.width * 4,
                    surface->format->format, surface->pixels, surface->pitch);
  SDL_UpdateWindowSurface(box.window);
}

void Answer(std::vector<OpenBox>::iterator box) {
  const int token = box->token;
  SDL_DestroyWindow(box->window);
  DeleteMessageBoxPicture(box->picture);
  open_boxes.erase(box);
  MessageBoxAnswered(token);
}

bool AnswersTheBox(const SDL_Event& event, const OpenBox& box) {
  switch (event.type) {
    case SDL_MOUSEBUTTONUP:
      return event.button.button == SDL_BUTTON_LEFT &&
             OnMessageBoxButton(box.picture, event.button.x, event.button.y);
    case SDL_KEYDOWN: {
      const SDL_Keycode key = event.key.keysym.sym;
      return key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_ESCAPE || key == SDLK_SPACE;
    }
    case SDL_WINDOWEVENT:
      return event.window.event == SDL_WINDOWEVENT_CLOSE;
    default:
      return false;
  }
}

Uint32 WindowIdOf(const SDL_Event& event) {
  switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      return event.button.windowID;
    case SDL_MOUSEMOTION:
      return event.motion.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      return event.key.windowID;
    case SDL_WINDOWEVENT:
      return event.window.windowID;
    default:
      return 0;
  }
}

}  // namespace

bool OpenSdlMessageBox(int token, LPCWSTR text, LPCWSTR caption) {
  OpenBox box{token, nullptr, MessageBoxPicture{}};
  if (!DrawMessageBoxPicture(text, &box.picture)) return false;
  box.window = SDL_CreateWindow(Utf8FromWide(caption).c_str(), SDL_WINDOWPOS_CENTERED,
                                SDL_WINDOWPOS_CENTERED, box.picture.width, box.picture.height,
                                SDL_WINDOW_ALWAYS_ON_TOP);
  if (!box.window) {
    DeleteMessageBoxPicture(box.picture);
    return false;
  }
  Show(box);
  SDL_RaiseWindow(box.window);
  open_boxes.push_back(box);
  return true;
}

void RaiseMessageBoxes() {
  for (const OpenBox& box : open_boxes) SDL_RaiseWindow(box.window);
}

bool HandleMessageBoxEvent(const SDL_Event& event) {
  const Uint32 window_id = WindowIdOf(event);
  if (window_id == 0) return false;
  const auto box = std::find_if(open_boxes.begin(), open_boxes.end(), [&](const OpenBox& open) {
    return SDL_GetWindowID(open.window) == window_id;
  });
  if (box == open_boxes.end()) return false;
  if (AnswersTheBox(event, *box)) {
    Answer(box);
  } else if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED) {
    Show(*box);
  }
  return true;
}

}  // namespace platform::display::sdl
