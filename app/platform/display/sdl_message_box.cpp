// Message boxes drawn by the platform itself, in SDL windows of the display thread: the text, and
// an OK button that a touch, Return, Escape or the window manager's close answers. SDL's own
// boxes run in a forked helper process that survives a killed program and keeps its windows on
// the X server, where the next start would find the dead panel and give way to it.
#include "platform/display/sdl_message_box.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/display/display_backend.h"
#include "platform/gdi/text_extent.h"
#include "platform/internal/module_interfaces.h"

namespace platform::display {
namespace {

constexpr int kMargin = 20;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 32;
constexpr int kSmallestWidth = 240;
constexpr std::uint32_t kBackground = 0x3C3C3C;
constexpr std::uint32_t kButtonFace = 0x5E5E5E;
constexpr std::uint32_t kButtonEdge = 0x9A9A9A;

// The box's picture: a 32-bit top-down DIB section in a memory context of its own.
struct Picture {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ replaced = nullptr;
  std::uint32_t* pixels = nullptr;
};

struct OpenBox {
  int token;
  SDL_Window* window;
  SDL_Rect button;
  Picture picture;
  int width;
  int height;
};

// Display thread only.
std::vector<OpenBox> open_boxes;

LOGFONTW BoxFont() {
  LOGFONTW logfont{};
  logfont.lfHeight = 18;
  logfont.lfWeight = 400;
  std::memcpy(logfont.lfFaceName, u"Sans", sizeof u"Sans");
  return logfont;
}

Picture NewPicture(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  Picture picture;
  void* bits = nullptr;
  picture.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  picture.pixels = static_cast<std::uint32_t*>(bits);
  picture.dc = CreateCompatibleDC(nullptr);
  picture.replaced = SelectObject(picture.dc, picture.bitmap);
  return picture;
}

void DeletePicture(const Picture& picture) {
  SelectObject(picture.dc, picture.replaced);
  DeleteDC(picture.dc);
  DeleteObject(picture.bitmap);
}

void FillRect(const OpenBox& box, const SDL_Rect& area, std::uint32_t colour) {
  for (int y = area.y; y < area.y + area.h; ++y) {
    std::fill_n(box.picture.pixels + static_cast<std::size_t>(y) * box.width + area.x, area.w,
                colour);
  }
}

void DrawLabel(HDC dc, LPCWSTR text, RECT rect) {
  const LOGFONTW logfont = BoxFont();
  HFONT font = CreateFontIndirectW(&logfont);
  const HGDIOBJ previous = SelectObject(dc, font);
  DrawTextW(dc, text, -1, &rect, DT_CENTER);
  SelectObject(dc, previous);
  DeleteObject(font);
}

void Paint(OpenBox& box, LPCWSTR text, int text_height) {
  FillRect(box, SDL_Rect{0, 0, box.width, box.height}, kBackground);
  const SDL_Rect& b = box.button;
  FillRect(box, b, kButtonEdge);
  FillRect(box, SDL_Rect{b.x + 1, b.y + 1, b.w - 2, b.h - 2}, kButtonFace);
  SetBkMode(box.picture.dc, TRANSPARENT);
  SetTextColor(box.picture.dc, RGB(255, 255, 255));
  DrawLabel(box.picture.dc, text,
            RECT{kMargin, kMargin, box.width - kMargin, kMargin + text_height});
  int ok_width = 0, ok_height = 0;
  gdi::TextExtent(BoxFont(), u"OK", &ok_width, &ok_height);
  const int ok_top = b.y + (b.h - ok_height) / 2;
  DrawLabel(box.picture.dc, u"OK", RECT{b.x, ok_top, b.x + b.w, ok_top + ok_height});
}

void Show(const OpenBox& box) {
  SDL_Surface* surface = SDL_GetWindowSurface(box.window);
  if (!surface) return;
  SDL_ConvertPixels(std::min(box.width, surface->w), std::min(box.height, surface->h),
                    SDL_PIXELFORMAT_XRGB8888, box.picture.pixels, box.width * 4,
                    surface->format->format, surface->pixels, surface->pitch);
  SDL_UpdateWindowSurface(box.window);
}

void Answer(std::vector<OpenBox>::iterator box) {
  const int token = box->token;
  SDL_DestroyWindow(box->window);
  DeletePicture(box->picture);
  open_boxes.erase(box);
  MessageBoxAnswered(token);
}

bool Inside(const SDL_Rect& rect, int x, int y) {
  return x >= rect.x && y >= rect.y && x < rect.x + rect.w && y < rect.y + rect.h;
}

bool AnswersTheBox(const SDL_Event& event, const OpenBox& box) {
  switch (event.type) {
    case SDL_MOUSEBUTTONUP:
      return event.button.button == SDL_BUTTON_LEFT &&
             Inside(box.button, event.button.x, event.button.y);
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
  int text_width = 0, text_height = 0;
  if (!gdi::TextExtent(BoxFont(), text, &text_width, &text_height)) return false;
  OpenBox box{};
  box.token = token;
  box.width = std::max({text_width + 2 * kMargin, kButtonWidth + 2 * kMargin, kSmallestWidth});
  box.height = kMargin + text_height + kMargin + kButtonHeight + kMargin;
  box.button = SDL_Rect{(box.width - kButtonWidth) / 2, kMargin + text_height + kMargin,
                        kButtonWidth, kButtonHeight};
  box.picture = NewPicture(box.width, box.height);
  if (!box.picture.pixels) {
    DeletePicture(box.picture);
    return false;
  }
  box.window =
      SDL_CreateWindow(Utf8FromWide(caption).c_str(), SDL_WINDOWPOS_CENTERED,
                       SDL_WINDOWPOS_CENTERED, box.width, box.height, SDL_WINDOW_ALWAYS_ON_TOP);
  if (!box.window) {
    DeletePicture(box.picture);
    return false;
  }
  Paint(box, text, text_height);
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

}  // namespace platform::display
