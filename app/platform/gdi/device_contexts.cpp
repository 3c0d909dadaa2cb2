// Device contexts: memory contexts holding a bitmap, window contexts from GetDC and BeginPaint,
// what is selected into them, and their text colours and background mode.
#include "platform/gdi/call_trace.h"
#include "platform/gdi/gdi_objects.h"

namespace platform {
namespace gdi {
namespace {

HDC NewWindowDc(HWND window, DcKind kind) {
  Surface32 surface;
  if (!window || !DisplayWindowSurface(window, &surface)) return nullptr;
  DeviceContext dc;
  dc.kind = kind;
  dc.window = window;
  dc.bitmap = DefaultBitmap();
  dc.font = GetStockObject(13);  // SYSTEM_FONT, as every new context holds
  dc.brush = GetStockObject(0);  // WHITE_BRUSH
  dc.pen = GetStockObject(7);    // BLACK_PEN
  std::lock_guard<std::mutex> hold(GdiLock());
  return AddDc(dc);
}

// Ends a window context: what was drawn on it reaches the screen.
bool EndWindowDc(HWND window, HDC handle, DcKind kind) {
  {
    std::lock_guard<std::mutex> hold(GdiLock());
    const DeviceContext* dc = FindDc(handle);
    if (!dc || dc->kind != kind || dc->window != window) return false;
    RemoveDc(handle);
  }
  DisplayPresent(window);
  return true;
}

HGDIOBJ SelectBitmap(HDC handle, DeviceContext& dc, HGDIOBJ object) {
  if (dc.kind != DcKind::Memory) return nullptr;
  const HGDIOBJ previous = dc.bitmap;
  if (object == previous) return previous;
  Bitmap* bitmap = nullptr;
  if (object != DefaultBitmap()) {
    bitmap = FindBitmap(object);
    // A bitmap is held by one memory context at a time.
    if (!bitmap || bitmap->selected_in) return nullptr;
  }
  if (Bitmap* released = FindBitmap(previous)) released->selected_in = nullptr;
  if (bitmap) bitmap->selected_in = handle;
  dc.bitmap = object;
  return previous;
}

HGDIOBJ Exchange(HGDIOBJ& slot, HGDIOBJ object) {
  const HGDIOBJ previous = slot;
  slot = object;
  return previous;
}

}  // namespace
}  // namespace gdi
}  // namespace platform

using namespace platform;
using namespace platform::gdi;

HDC GetDC(HWND window) { return NewWindowDc(window, DcKind::Window); }

int ReleaseDC(HWND window, HDC dc) { return EndWindowDc(window, dc, DcKind::Window) ? 1 : 0; }

// The paint context does not clip to rcPaint: a WM_PAINT posted by hand, with no update region,
// still shows everything the handler draws.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  if (!paint) return nullptr;
  const HDC dc = NewWindowDc(window, DcKind::Paint);
  if (!dc) return nullptr;
  *paint = PAINTSTRUCT{};
  paint->hdc = dc;
  if (!TakeUpdateRegion(window, &paint->rcPaint)) paint->rcPaint = RECT{};
  return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  return paint && EndWindowDc(window, paint->hdc, DcKind::Paint);
}

HDC CreateCompatibleDC(HDC reference) {
  std::lock_guard<std::mutex> hold(GdiLock());
  // Null stands for the screen; any other reference must be a live context.
  if (reference && !FindDc(reference)) return nullptr;
  DeviceContext dc;
  dc.bitmap = DefaultBitmap();
  dc.font = GetStockObject(13);
  dc.brush = GetStockObject(0);
  dc.pen = GetStockObject(7);
  return AddDc(dc);
}

BOOL DeleteDC(HDC handle) {
  TraceCall("DeleteDC", handle);
  std::lock_guard<std::mutex> hold(GdiLock());
  const DeviceContext* dc = FindDc(handle);
  // A window context ends with ReleaseDC or EndPaint, which present what was drawn.
  if (!dc || dc->kind != DcKind::Memory) return FALSE;
  if (Bitmap* bitmap = FindBitmap(dc->bitmap)) bitmap->selected_in = nullptr;
  return RemoveDc(handle);
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
  TraceCall("SelectObject", handle, object);
  std::lock_guard<std::mutex> hold(GdiLock());
  DeviceContext* dc = FindDc(handle);
  if (!dc || !object) return nullptr;
  if (object == DefaultBitmap() || FindBitmap(object)) return SelectBitmap(handle, *dc, object);
  if (FindFont(object)) return Exchange(dc->font, object);
  switch (StockObjectKind(object)) {
    case StockKind::Font:
      return Exchange(dc->font, object);
    case StockKind::Brush:
      return Exchange(dc->brush, object);
    case StockKind::Pen:
      return Exchange(dc->pen, object);
    case StockKind::None:
      break;
  }
  return nullptr;
}

COLORREF SetBkColor(HDC handle, COLORREF colour) {
  std::lock_guard<std::mutex> hold(GdiLock());
  DeviceContext* dc = FindDc(handle);
  if (!dc) return CLR_INVALID;
  const COLORREF previous = dc->background_colour;
  dc->background_colour = colour & 0x00FFFFFF;
  return previous;
}

COLORREF SetTextColor(HDC handle, COLORREF colour) {
  std::lock_guard<std::mutex> hold(GdiLock());
  DeviceContext* dc = FindDc(handle);
  if (!dc) return CLR_INVALID;
  const COLORREF previous = dc->text_colour;
  dc->text_colour = colour & 0x00FFFFFF;
  return previous;
}

int SetBkMode(HDC handle, int mode) {
  std::lock_guard<std::mutex> hold(GdiLock());
  DeviceContext* dc = FindDc(handle);
  if (!dc || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
  const int previous = dc->background_mode;
  dc->background_mode = mode;
  return previous;
}
