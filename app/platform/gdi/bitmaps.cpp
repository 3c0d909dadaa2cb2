// Bitmaps and fonts as objects: creation, GetObjectW and DeleteObject.
#include "platform/gdi/call_trace.h"
#include "platform/gdi/gdi_objects.h"

namespace platform {
namespace gdi {
namespace {

int DescribeBitmap(const Bitmap& bitmap, int buffer_size, void* buffer) {
  if (!buffer) return sizeof(BITMAP);
  // The record is larger on a 64-bit host than on the 32-bit target: callers pass sizeof(BITMAP),
  // and a smaller buffer would cut the pixel pointer.
  if (buffer_size < static_cast<int>(sizeof(BITMAP))) return 0;
  BITMAP description{};
  // A device bitmap has the screen's 32 bits per pixel as far as anyone can see, whatever it
  // stores (a picture decoded from a 24-bit file stays 24-bit, see bmp_decoding).
  const int bits = bitmap.device ? 32 : bitmap.bits_per_pixel;
  description.bmWidth = bitmap.width;
  description.bmHeight = bitmap.height;
  description.bmWidthBytes = bitmap.device ? bitmap.width * 4 : bitmap.stride;
  description.bmPlanes = 1;
  description.bmBitsPixel = static_cast<WORD>(bits);
  description.bmBits = bitmap.device ? nullptr : bitmap.memory.get();
  *static_cast<BITMAP*>(buffer) = description;
  return sizeof(BITMAP);
}

int DescribeFont(const LOGFONTW& logfont, int buffer_size, void* buffer) {
  if (!buffer) return sizeof(LOGFONTW);
  if (buffer_size < static_cast<int>(sizeof(LOGFONTW))) return 0;
  *static_cast<LOGFONTW*>(buffer) = logfont;
  return sizeof(LOGFONTW);
}

}  // namespace
}  // namespace gdi
}  // namespace platform

using namespace platform;
using namespace platform::gdi;

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  std::lock_guard<std::mutex> hold(GdiLock());
  if (!FindDc(dc)) return nullptr;
  auto bitmap = NewBitmap(width, height, 32, false);
  if (!bitmap) return nullptr;
  bitmap->device = true;
  return AddBitmap(std::move(bitmap));
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
  if (bits) *bits = nullptr;
  if (!info || usage != DIB_RGB_COLORS || section) return nullptr;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 ||
      header.biCompression != BI_RGB || (header.biBitCount != 24 && header.biBitCount != 32) ||
      header.biWidth <= 0 || header.biHeight == 0 || header.biHeight < -kMaxBitmapSide) {
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(GdiLock());
  if (dc && !FindDc(dc)) return nullptr;
  // A positive height stores the rows bottom-up, a negative one top-down.
  const bool bottom_up = header.biHeight > 0;
  const int height = bottom_up ? header.biHeight : -header.biHeight;
  auto bitmap = NewBitmap(header.biWidth, height, header.biBitCount, bottom_up);
  if (!bitmap) return nullptr;
  void* memory = bitmap->memory.get();
  const HBITMAP handle = AddBitmap(std::move(bitmap));
  if (handle && bits) *bits = memory;
  return handle;
}

HFONT CreateFontIndirectW(const LOGFONTW* logfont) {
  if (!logfont) return nullptr;
  std::lock_guard<std::mutex> hold(GdiLock());
  return AddFont(*logfont);
}

int GetObjectW(HGDIOBJ object, int buffer_size, LPVOID buffer) {
  std::lock_guard<std::mutex> hold(GdiLock());
  if (const Bitmap* bitmap = FindBitmap(object))
    return DescribeBitmap(*bitmap, buffer_size, buffer);
  if (object == DefaultBitmap()) {
    // The 1 x 1 monochrome bitmap of a new memory context.
    Bitmap placeholder;
    placeholder.width = placeholder.height = 1;
    placeholder.bits_per_pixel = 1;
    placeholder.stride = 2;
    placeholder.device = true;
    return DescribeBitmap(placeholder, buffer_size, buffer);
  }
  if (const Font* font = FindFont(object)) return DescribeFont(font->logfont, buffer_size, buffer);
  if (StockObjectKind(object) == StockKind::Font)
    return DescribeFont(StockFont(), buffer_size, buffer);
  return 0;
}

BOOL DeleteObject(HGDIOBJ object) {
  TraceCall("DeleteObject", object);
  std::lock_guard<std::mutex> hold(GdiLock());
  // Stock objects and the default bitmap are shared by everyone and never deleted.
  if (object == DefaultBitmap() || StockObjectIndex(object) >= 0) return TRUE;
  // An object still selected into a context stays, as Win32 refuses to delete it.
  if (const Bitmap* bitmap = FindBitmap(object)) {
    return !bitmap->selected_in && RemoveBitmap(object);
  }
  if (FindFont(object)) return !SelectedAnywhere(object) && RemoveFont(object);
  return FALSE;
}
