// A program of the desktop session for the session's tests; run it headless, with the name it
// joins as after its role (a test's own name keeps tests running at once apart). Three roles:
//
//   session_helper hold    joins, creates a shown top-level window on its main thread and a
//                          hidden one on a worker thread, writes "ready", and runs until its main
//                          window is destroyed. Each WM_CLOSE is written: "close main" or
//                          "close worker".
//   session_helper later   joins while a holder runs, and writes what it could do, e.g.
//                          "found raised refused": it found the holder's window, had it brought
//                          to the front, and was refused a top-level window of its own.
//   session_helper starved as hold, but it first uses up every descriptor it may open, so
//                          that its session thread has none left for a connection.
//
// Lines go to standard output; the exit code is 0 unless the role is unknown.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/desktop_session.h"
#include "platform/win32.h"

namespace {

constexpr LPCWSTR kMainClass = u"SessionMain";
constexpr LPCWSTR kWorkerClass = u"SessionWorker";
constexpr LPCWSTR kTitle = u"Session Test";

void Say(const char* line) {
  std::printf("%s\n", line);
  std::fflush(stdout);
}

LRESULT MainProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CLOSE) Say("close main");
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT WorkerProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CLOSE) Say("close worker");
  return DefWindowProcW(window, message, wparam, lparam);
}

bool Register(LPCWSTR class_name, WNDPROC procedure) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = procedure;
  window_class.lpszClassName = class_name;
  return RegisterClassW(&window_class) != 0;
}

HWND CreateTopLevel(LPCWSTR class_name, DWORD style) {
  return CreateWindowExW(0, class_name, kTitle, style, 0, 0, 800, 480, nullptr, nullptr, nullptr,
                         nullptr);
}

void RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
}

// 0 while the worker starts, then 1 when it has its window, -1 when it has none.
std::atomic<int> worker_window{0};

DWORD Worker(LPVOID) {
  const bool made = Register(kWorkerClass, WorkerProc) && CreateTopLevel(kWorkerClass, WS_POPUP);
  worker_window = made ? 1 : -1;
  RunMessageLoop();
  return 0;
}

// The descriptors a starved holder took, given back before it ends: a leak checker's exit needs
// one.
std::vector<int> taken_descriptors;

void UseUpDescriptors() {
  taken_descriptors.reserve(1 << 16);
  for (int descriptor; (descriptor = open("/dev/null", O_RDONLY)) >= 0;) {
    taken_descriptors.push_back(descriptor);
  }
}

void GiveBackDescriptors() {
  for (int descriptor : taken_descriptors) close(descriptor);
}

void Hold(bool starved) {
  if (!Register(kMainClass, MainProc) || !CreateTopLevel(kMainClass, WS_POPUP | WS_VISIBLE)) {
    Say("no main window");
    return;
  }
  CloseHandle(CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr));
  while (worker_window == 0) Sleep(1);
  if (starved) UseUpDescriptors();
  Say(worker_window == 1 ? "ready" : "no worker window");
  RunMessageLoop();
  GiveBackDescriptors();
}

void Later() {
  const HWND running = FindWindowW(kMainClass, kTitle);
  const auto odd = reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(running) | 1);
  const bool raised = running && SetForegroundWindow(odd);
  const bool created = Register(kMainClass, MainProc) && CreateTopLevel(kMainClass, WS_POPUP);
  std::printf("%s %s %s\n", running ? "found" : "not-found", raised ? "raised" : "not-raised",
              created ? "created" : "refused");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  platform::JoinDesktopSession(argv[2]);
  if (std::strcmp(argv[1], "hold") == 0 || std::strcmp(argv[1], "starved") == 0) {
    Hold(std::strcmp(argv[1], "starved") == 0);
  } else if (std::strcmp(argv[1], "later") == 0) {
    Later();
  } else {
    ExitProcess(2);
  }
  ExitProcess(0);
}
