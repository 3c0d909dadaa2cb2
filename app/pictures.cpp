// LoadPictures: every picture goes into a memory drawing context of its own, where it stays for
// the whole run; later drawing is plain copies between contexts.
#include "app/pictures.h"

#include "app/panel_state.h"

const LPCWSTR CompactBackgroundPath = W("\\Storage Card\\QUELTIMAGE.bmp");

struct ResourcePicture {
  UINT id;
  HDC PanelState::*context;
};

// The load order, which is also where a failure cuts the loading short.
static const ResourcePicture ResourcePictures[] = {
    {188, &PanelState::PanelPictureDc},     {191, &PanelState::KeyRowLampsDc},
    {190, &PanelState::PresetLampsDc},      {192, &PanelState::SideKeyLampsDc},
    {194, &PanelState::TopBarLampsDc},      {212, &PanelState::UsbIndicatorDc},
    {211, &PanelState::AuxIndicatorDc},     {210, &PanelState::MakerLogoDc},
    {213, &PanelState::UncaptionedPanelDc}, {214, &PanelState::LinkIndicatorDc},
};

static void ReportLoadError(HWND window, LPCWSTR text) {
  MessageBoxW(window, text, W("Error"), MB_OK);
}

BOOL LoadPictures(HWND window) {
  HDC window_dc = GetDC(window);
  Panel.CompactBackgroundDc = CreateCompatibleDC(window_dc);
  HBITMAP background = SHLoadDIBitmap(CompactBackgroundPath);
  if (!background) ReportLoadError(window, W("Error in Load Bitmap 1 !"));
  if (background) SelectObject(Panel.CompactBackgroundDc, background);
  ReleaseDC(window, window_dc);

  for (const ResourcePicture& picture : ResourcePictures) {
    window_dc = GetDC(window);
    Panel.*picture.context = CreateCompatibleDC(window_dc);
    HBITMAP bitmap = LoadBitmapW(Panel.InstanceHandle, MAKEINTRESOURCEW(picture.id));
    if (!bitmap) {
      ReleaseDC(window, window_dc);
      ReportLoadError(window, W("Error in Load Bitmap !"));
      return 0;
    }
    SelectObject(Panel.*picture.context, bitmap);
    ReleaseDC(window, window_dc);
  }
  return 1;
}
