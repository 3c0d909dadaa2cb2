#include "tests/app/shell_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "app/app_main.h"
#include "app/panel_state.h"
#include "platform/testing_display.h"
#include "resources/panel_resources.h"
#include "sim/in_process.h"
#include "sim/register.h"

namespace fs = std::filesystem;

namespace {

constexpr UINT RunActionMessage = WM_USER + 1;
std::function<void()> PendingAction;

// A hidden window of the main thread that runs the tests' actions inside the message loop.
LRESULT HookWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != RunActionMessage) return DefWindowProcW(window, message, wparam, lparam);
  std::function<void()> action = std::move(PendingAction);
  if (action) action();
  return 0;
}

HWND CreateHookWindow() {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = HookWindowProc;
  window_class.lpszClassName = W("ShellTestHook");
  RegisterClassW(&window_class);
  return CreateWindowExW(0, W("ShellTestHook"), W("ShellTestHook"), WS_POPUP, 0, 0, 1, 1, nullptr,
                         nullptr, nullptr, nullptr);
}

}  // namespace

void ShellTest::SetUp() {
  platform::testing::ForceHeadlessDisplay();
  platform::testing::ClearMessageBoxesShown();
  char folder[] = "/tmp/quelt-card-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  card_ = folder;
  fs::create_directories(card_ + "/App");
  // The home program leaves a line in a log each time it starts.
  std::string home = CardPath("App/hbHome.exe");
  std::ofstream(home) << "#!/bin/sh\necho started >> '" << CardPath("home.log") << "'\n";
  chmod(home.c_str(), 0755);
  setenv("QUELT_STORAGE_CARD", card_.c_str(), 1);
  // No link device: the link thread waits for one and leaves the main window alone.
  setenv("QUELT_LINK_DEVICES", "", 1);
  sim::StopInProcessController();
  RegisterSimulatorDevices();
  SetResourceTable(&PanelResources());
  ResetPanelState();
  run_ = new platform::VirtualRunScope(platform::LocalTime(2026, 12, 7, 9, 5, 0));
  ASSERT_TRUE(run_->started());
}

void ShellTest::TearDown() {
  delete run_;
  SetResourceTable(&PanelResources());
  fs::remove_all(card_);
}

void ShellTest::PlaceCompactBackground() {
  fs::copy_file(fs::path(QUELT_SOURCE_DIR) / "resources/storage-card/QUELTIMAGE.bmp",
                CardPath("QUELTIMAGE.bmp"));
}

void ShellTest::StartProgram(int show_code, std::function<void()> prepare) {
  ASSERT_TRUE(platform::StartMainThread([this, show_code, prepare] {
    hook_window_ = CreateHookWindow();
    if (prepare) prepare();
    return AppMain(nullptr, nullptr, nullptr, show_code);
  }));
}

int ShellTest::HomeProgramStarts() const {
  // The home program is a real process running in real time beside the virtual run: give it a
  // moment to write its line (the file exists as soon as the shell opened it, before the line).
  std::string written;
  for (int attempt = 0; attempt < 200; ++attempt) {
    std::ifstream log(CardPath("home.log"));
    written.assign(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
    if (!written.empty() && written.back() == '\n') break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return static_cast<int>(std::count(written.begin(), written.end(), '\n'));
}

void ShellTest::RunOnMainThread(std::function<void()> action) {
  PendingAction = std::move(action);
  PostMessageW(hook_window_, RunActionMessage, 0, 0);
}

std::string ShellTest::CardPath(const std::string& name) const { return card_ + "/" + name; }

std::vector<platform::TraceEntry> ShellTest::TraceStartingWith(const std::string& prefix) const {
  std::vector<platform::TraceEntry> found;
  for (const platform::TraceEntry& entry : platform::VirtualTrace()) {
    if (entry.text.rfind(prefix, 0) == 0) found.push_back(entry);
  }
  return found;
}
