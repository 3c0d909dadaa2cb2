// AppMain: start-up, then the main thread's message loop with the keyboard accelerators.
#include "app/app_main.h"

#include "app/start_up.h"

constexpr UINT AcceleratorTableId = 2;

int AppMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show_code) {
  if (!StartUp(instance, show_code)) return 0;

  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(AcceleratorTableId));
  MSG msg = {};
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    if (!TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // The quit message carries the PostQuitMessage code.
  return static_cast<int>(msg.wParam);
}
