// AppMain: start-up, then the main thread's message loop with the keyboard accelerators, and the
// exit code that tells a service manager whether the panel ended by its user's hand.
#include "app/app_main.h"

#include <string>

#include "app/start_up.h"
#include "platform/desktop_session.h"
#include "platform/diagnostics.h"

constexpr UINT AcceleratorTableId = 2;

static int StartAndRun(HINSTANCE instance, int show_code, const platform::RecordedEvent* resumed) {
  const char* failure = "";
  switch (StartUp(instance, show_code, &failure, resumed)) {
    case StartUpResult::Up:
      break;
    case StartUpResult::HandedOver:
      return 0;
    case StartUpResult::Failed:
      platform::LogLine(platform::LogPriority::Error, std::string("start-up failed: ") + failure);
      return StartUpFailedExitCode;
  }

  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(AcceleratorTableId));
  MSG msg = {};
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    if (!TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // The display said why when it went; the windows it closed ended the loop as a close would.
  if (platform::DisplayLost()) return DisplayLostExitCode;
  // The quit message carries the PostQuitMessage code.
  return static_cast<int>(msg.wParam);
}

int AppMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show_code) {
  return StartAndRun(instance, show_code, nullptr);
}

int ResumeAppMain(const platform::RecordedEvent& state) {
  return StartAndRun(nullptr, SW_SHOW, &state);
}
