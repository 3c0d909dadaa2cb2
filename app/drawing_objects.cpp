#include "app/drawing_objects.h"

#include "app/panel_state.h"

template <typename Handle>
static void Release(Handle& handle, BOOL (*release)(Handle)) {
  if (!handle) return;
  release(handle);
  handle = nullptr;
}

void ReleaseDrawingObjects() {
  if (Panel.BackBufferDc && Panel.BackBufferPreviousBitmap) {
    SelectObject(Panel.BackBufferDc, Panel.BackBufferPreviousBitmap);
  }
  Panel.BackBufferPreviousBitmap = nullptr;
  Release(Panel.BackBufferBitmap, DeleteObject);
  Release(Panel.BackBufferDc, DeleteDC);
  Release(Panel.LcdBackdropDc, DeleteDC);
  Release(Panel.LcdCanvasDc, DeleteDC);
  Release(Panel.LcdBackdropDib, DeleteObject);
  Release(Panel.LcdCanvasDib, DeleteObject);
}
