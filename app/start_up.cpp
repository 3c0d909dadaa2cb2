// StartUp: single instance, the main window, the home program, the link thread, the pictures and
// the drawing surfaces, the settings, and the initial state.
#include "app/start_up.h"

#include "app/main_window.h"
#include "app/panel_snapshot.h"
#include "app/panel_state.h"
#include "app/pictures.h"
#include "lcd/indicators.h"
#include "lcd/screen_paint.h"
#include "link/link_thread.h"
#include "platform/desktop_session.h"
#include "platform/flight_recorder.h"
#include "platform/replay.h"
#include "settings/settings_file.h"

const LPCWSTR HomeProgramPath = W("\\Storage Card\\App\\hbHome.exe");

constexpr UINT TitleStringId = 1;
constexpr UINT ClassNameStringId = 2;
constexpr int TextBufferChars = 100;
constexpr UINT MainIconId = 101;

// Thin border only: not visible, no caption, no system menu.
constexpr DWORD MainWindowStyle = WS_BORDER;

ATOM RegisterMainClass(HINSTANCE instance, LPCWSTR class_name) {
  WNDCLASSW window_class = {};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = MainWindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(MainIconId));
  window_class.hCursor = nullptr;
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  window_class.lpszClassName = class_name;
  return RegisterClassW(&window_class);
}

BOOL LaunchProgram(HWND owner, LPCWSTR file, LPCWSTR parameters, int show_code) {
  SHELLEXECUTEINFO info = {};
  info.cbSize = sizeof(info);
  info.hwnd = owner;
  info.lpFile = file;
  info.lpParameters = parameters;
  info.nShow = show_code;
  return ShellExecuteEx(&info);
}

HBITMAP CreateCanvasDib(HDC dc, int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // positive: rows stored bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;  // users take the pixel pointer from GetObjectW instead
  return CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

// Another instance already runs: start the home program, bring that instance forward, and end.
static void HandOverToRunningInstance(HWND running) {
  LaunchProgram(nullptr, HomeProgramPath, nullptr, SW_SHOW);
  SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(running) | 1));
}

bool CreateDrawingSurfaces(HDC window_dc) {
  Panel.BackBufferBitmap = CreateCompatibleBitmap(window_dc, ScreenWidth, ScreenHeight);
  Panel.BackBufferDc = CreateCompatibleDC(window_dc);
  Panel.BackBufferPreviousBitmap = SelectObject(Panel.BackBufferDc, Panel.BackBufferBitmap);

  Panel.LcdBackdropDib = CreateCanvasDib(window_dc, ScreenWidth, ScreenHeight);
  Panel.LcdBackdropDc = CreateCompatibleDC(window_dc);
  Panel.LcdCanvasDib = CreateCanvasDib(window_dc, ScreenWidth, ScreenHeight);
  Panel.LcdCanvasDc = CreateCompatibleDC(window_dc);
  SelectObject(Panel.LcdBackdropDc, Panel.LcdBackdropDib);
  SelectObject(Panel.LcdCanvasDc, Panel.LcdCanvasDib);
  return GetObjectW(Panel.LcdBackdropDib, sizeof(BITMAP), &Panel.LcdBackdropHeader) &&
         GetObjectW(Panel.LcdCanvasDib, sizeof(BITMAP), &Panel.LcdCanvasHeader);
}

static void DrawFirstPicture(HDC window_dc) {
  BitBlt(Panel.BackBufferDc, 0, 0, ScreenWidth, ScreenHeight, Panel.PanelPictureDc, 0, 0, SRCCOPY);
  DrawAuxIndicator(Panel.BackBufferDc);
  DrawUsbIndicator(Panel.BackBufferDc);
  BitBlt(window_dc, 0, 0, ScreenWidth, ScreenHeight, Panel.BackBufferDc, 0, 0, SRCCOPY);
}

static void SetInitialState() {
  Panel.PanelMode = FullPanelMode;
  Panel.ControllerKey = 0;
  Panel.PreviousControllerKey = 0;
  Panel.NavigationInFront = 0;
  Panel.NavigationWindow = nullptr;
  Panel.LastVolumeButton = 0;
  Panel.LastFileButton = 0;
  Panel.HeartbeatCount = 0;
  Panel.PollsSinceChange = 0;
  Panel.ButtonId = 0;
}

// The resumed panel shows what the live one showed, drawn whole: the window as it was, the panel
// painted and the LCD refreshed from the record.
static void ShowResumedPanel(HWND window, const platform::RecordedEvent& resumed) {
  const PanelWindowState shown = ReadPanelWindowState(resumed.data.data(), resumed.data.size());
  if (shown.shown) ShowWindow(window, SW_SHOW);
  if (shown.in_front) SetForegroundWindow(window);
  platform::RestoreRecordedTimers(resumed);
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  RefreshPanel(window);
}

StartUpResult StartUp(HINSTANCE instance, int, const char** failure,
                      const platform::RecordedEvent* resumed) {
  Panel.InstanceHandle = instance;
  WCHAR title[TextBufferChars] = {};
  WCHAR class_name[TextBufferChars] = {};
  LoadStringW(instance, TitleStringId, title, TextBufferChars);
  LoadStringW(instance, ClassNameStringId, class_name, TextBufferChars);

  if (HWND running = FindWindowW(class_name, title)) {
    HandOverToRunningInstance(running);
    return StartUpResult::HandedOver;
  }
  if (!RegisterMainClass(instance, class_name)) {
    *failure = "the main window's class could not be registered";
    return StartUpResult::Failed;
  }

  // WM_CREATE arms the heartbeat and autosave timers during this call.
  HWND window = CreateWindowExW(0, class_name, title, MainWindowStyle, 0, 0, ScreenWidth,
                                ScreenHeight, nullptr, nullptr, instance, nullptr);
  if (!window) {
    // Another start got the desktop's claim a moment before this one and is still on its way to
    // its window: it is the panel, and it starts the home program itself.
    if (platform::AnotherInstanceRuns()) return StartUpResult::HandedOver;
    *failure = "the main window could not be created";
    return StartUpResult::Failed;
  }
  // The link thread posts to the main window from its first moment on.
  Panel.MainWindow = window;
  if (resumed) {
    if (!ReadPanelState(resumed->data.data(), resumed->data.size())) {
      *failure = "the recorded state is not of this program's layout";
      return StartUpResult::Failed;
    }
  } else {
    LaunchProgram(nullptr, HomeProgramPath, nullptr, SW_SHOW);
    Panel.StreamMode = 1;
  }
  platform::SetProgramStateRequest(AskForPanelState);

  static int resume_link = 1;  // the link thread's parameter: only whether it is null counts
  HANDLE link_thread =
      CreateThread(nullptr, 0, LinkThreadMain, resumed ? &resume_link : nullptr, 0, nullptr);
  if (!link_thread) {
    *failure = "the link thread could not be started";
    return StartUpResult::Failed;
  }
  CloseHandle(link_thread);

  // The show code is not used: the window stays hidden until the controller asks for it.
  ShowWindow(window, SW_HIDE);
  LoadPictures(window);

  Panel.LcdBackdropDib = nullptr;
  Panel.LcdBackdropDc = nullptr;
  Panel.LcdCanvasDib = nullptr;
  Panel.LcdCanvasDc = nullptr;
  HDC window_dc = GetDC(window);
  if (!CreateDrawingSurfaces(window_dc)) {
    ReleaseDC(window, window_dc);
    *failure = "the drawing surfaces could not be made";
    return StartUpResult::Failed;
  }
  DrawFirstPicture(window_dc);
  ReleaseDC(window, window_dc);

  if (resumed) {
    ShowResumedPanel(window, *resumed);
  } else {
    ReadSettings();
    SetInitialState();
  }
  return StartUpResult::Up;
}
