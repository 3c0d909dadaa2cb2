// The choice of display: without any display (no display named, no DRM card) the program runs
// headless and says so once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/testing_display.h"

namespace platform::test {
namespace {

// Exits 0 when the windows came up on the headless screen with one notice on standard error.
void StartWithoutADisplay() {
  ::testing::internal::CaptureStderr();
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("QUELT_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.lpszClassName = u"ChoiceTest";
  RegisterClassW(&window_class);
  for (int i = 0; i < 2; ++i) {
    CreateWindowExW(0, u"ChoiceTest", u"Choice", WS_POPUP | WS_VISIBLE, 0, 0, 800, 480, nullptr,
                    nullptr, nullptr, nullptr);
  }
  const std::string said = ::testing::internal::GetCapturedStderr();
  const std::size_t notice = said.find("running headless");
  const bool once =
      notice != std::string::npos && said.find("running headless", notice + 1) == std::string::npos;
  std::exit(once && testing::CaptureScreen().size() == 800u * 480 * 3 ? 0 : 1);
}

TEST(DisplayChoice, WithoutADisplayTheProgramRunsHeadlessAndSaysSoOnce) {
  // Without a named display a DRM card is a display: the test would light the machine's screen.
  if (access("/dev/dri", F_OK) == 0) GTEST_SKIP() << "this machine has DRM cards (/dev/dri)";
  // A fresh process: the display is chosen once per process, at its first top-level window.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(StartWithoutADisplay(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace platform::test
