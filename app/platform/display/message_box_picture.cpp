// The message box's picture, drawn with the platform's own GDI: the text centred, and the OK
// button centred under it.
#include "platform/display/message_box_picture.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/text_extent.h"

namespace platform::display {
namespace {

constexpr int kMargin = 20;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 32;
constexpr int kSmallestWidth = 240;
constexpr std::uint32_t kBackground = 0x3C3C3C;
constexpr std::uint32_t kButtonFace = 0x5E5E5E;
constexpr std::uint32_t kButtonEdge = 0x9A9A9A;

LOGFONTW BoxFont() {
  LOGFONTW logfont{};
  logfont.lfHeight = 18;
  logfont.lfWeight = 400;
  std::memcpy(logfont.lfFaceName, u"Sans", sizeof u"Sans");
  return logfont;
}

bool NewPicture(MessageBoxPicture* picture) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = picture->width;
  info.bmiHeader.biHeight = -picture->height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  picture->bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  picture->pixels = static_cast<std::uint32_t*>(bits);
  picture->dc = CreateCompatibleDC(nullptr);
  picture->replaced = SelectObject(picture->dc, picture->bitmap);
  if (picture->pixels) return true;
  DeleteMessageBoxPicture(*picture);
  return false;
}

void FillRect(const MessageBoxPicture& picture, const RECT& area, std::uint32_t colour) {
  for (LONG y = area.top; y < area.bottom; ++y) {
    std::fill_n(picture.pixels + static_cast<std::size_t>(y) * picture.width + area.left,
                area.right - area.left, colour);
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

void Paint(const MessageBoxPicture& picture, LPCWSTR text, int text_height) {
  FillRect(picture, RECT{0, 0, picture.width, picture.height}, kBackground);
  const RECT& b = picture.button;
  FillRect(picture, b, kButtonEdge);
  FillRect(picture, RECT{b.left + 1, b.top + 1, b.right - 1, b.bottom - 1}, kButtonFace);
  SetBkMode(picture.dc, TRANSPARENT);
  SetTextColor(picture.dc, RGB(255, 255, 255));
  DrawLabel(picture.dc, text,
            RECT{kMargin, kMargin, picture.width - kMargin, kMargin + text_height});
  int ok_width = 0, ok_height = 0;
  gdi::TextExtent(BoxFont(), u"OK", &ok_width, &ok_height);
  const LONG ok_top = b.top + (b.bottom - b.top - ok_height) / 2;
  DrawLabel(picture.dc, u"OK", RECT{b.left, ok_top, b.right, ok_top + ok_height});
}

}  // namespace

bool DrawMessageBoxPicture(LPCWSTR text, MessageBoxPicture* picture) {
  int text_width = 0, text_height = 0;
  if (!gdi::TextExtent(BoxFont(), text, &text_width, &text_height)) return false;
  picture->width = std::max({text_width + 2 * kMargin, kButtonWidth + 2 * kMargin, kSmallestWidth});
  picture->height = kMargin + text_height + kMargin + kButtonHeight + kMargin;
  const LONG button_left = (picture->width - kButtonWidth) / 2;
  const LONG button_top = kMargin + text_height + kMargin;
  picture->button =
      RECT{button_left, button_top, button_left + kButtonWidth, button_top + kButtonHeight};
  if (!NewPicture(picture)) return false;
  Paint(*picture, text, text_height);
  return true;
}

void DeleteMessageBoxPicture(const MessageBoxPicture& picture) {
  SelectObject(picture.dc, picture.replaced);
  DeleteDC(picture.dc);
  DeleteObject(picture.bitmap);
}

bool OnMessageBoxButton(const MessageBoxPicture& picture, int x, int y) {
  const RECT& b = picture.button;
  return x >= b.left && y >= b.top && x < b.right && y < b.bottom;
}

}  // namespace platform::display
