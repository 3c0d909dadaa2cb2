#include "app/shut_down.h"

#include "app/panel_state.h"

// The cross at the top right of the panel picture marks this corner.
constexpr std::uint32_t ExitCornerMinX = 771;
constexpr std::uint32_t ExitCornerMaxY = 29;

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

void ShutDownOnDestroy() {
  if (Panel.SettingsStream) {
    std::fclose(Panel.SettingsStream);
    Panel.SettingsStream = nullptr;
  }
  ReleaseDrawingObjects();
  PostQuitMessage(0);
}

void ShutDownAtExitCorner() {
  if (Panel.PenX < ExitCornerMinX || Panel.PenY > ExitCornerMaxY) return;
  ReleaseDrawingObjects();
  PostQuitMessage(0);
}
