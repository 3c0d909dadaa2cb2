// The choice of display when a compositor is asked for but none answers: the Wayland backend says
// so in one line, SDL is tried next (never with its own Wayland driver), and the program waits for
// the display it was given, trying each second without saying so again, until a stop signal; then
// it goes on headless, saying so once. Nothing asked for: headless at once. A variable naming
// another SDL driver, or an X server, means no compositor was asked for at all.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/desktop_session.h"
#include "platform/testing_display.h"

namespace platform::test {
namespace {

struct FallbackCase {
  const char* wayland_display;
  const char* sdl_video_driver;
  const char* x_display;
  // XDG_RUNTIME_DIR holds a wayland-0 socket that nobody listens on any more.
  bool stale_default_socket;
  int wayland_notices;
  // A display was asked for by name: the program waits for it.
  bool waits;
};

int Count(const std::string& said, const char* notice) {
  int count = 0;
  for (std::size_t at = said.find(notice); at != std::string::npos;
       at = said.find(notice, at + 1)) {
    ++count;
  }
  return count;
}

void LeaveStaleSocket(const std::string& folder) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s/wayland-0", folder.c_str());
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  close(listener);
}

void SetOrUnset(const char* name, const char* value) {
  if (value) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

// Exits 0 when the window came up on the headless screen after the expected notices.
void StartWith(const FallbackCase& each) {
  char folder[] = "/tmp/quelt-fallback-XXXXXX";
  if (!mkdtemp(folder)) std::exit(2);
  if (each.stale_default_socket) LeaveStaleSocket(folder);
  setenv("XDG_RUNTIME_DIR", folder, 1);
  SetOrUnset("WAYLAND_DISPLAY", each.wayland_display);
  SetOrUnset("SDL_VIDEODRIVER", each.sdl_video_driver);
  SetOrUnset("DISPLAY", each.x_display);
  unsetenv("WAYLAND_SOCKET");
  unsetenv("QUELT_DISPLAY");
  ::testing::internal::CaptureStderr();
  // As the service manager would stop a panel that waits: after more than one try.
  JoinDesktopSession("quelt-fallback-test");
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(getpid(), SIGTERM);
  }).detach();
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.lpszClassName = u"FallbackTest";
  RegisterClassW(&window_class);
  CreateWindowExW(0, u"FallbackTest", u"Fallback", WS_POPUP | WS_VISIBLE, 0, 0, 800, 480, nullptr,
                  nullptr, nullptr, nullptr);
  const std::string said = ::testing::internal::GetCapturedStderr();
  const bool as_expected = Count(said, "cannot show windows on Wayland") == each.wayland_notices &&
                           Count(said, "waiting for the display") == (each.waits ? 1 : 0) &&
                           Count(said, "running headless") == 1 &&
                           testing::CaptureScreen().size() == 800u * 480 * 3;
  if (!as_expected) std::fprintf(stderr, "said:\n%s", said.c_str());
  std::exit(as_expected ? 0 : 1);
}

TEST(DisplayFallback, EachDisplayThatCannotStartSaysSoOnceAndTheNextIsTried) {
  const FallbackCase cases[] = {
      // No compositor behind the name: Wayland says so, SDL finds no X11 or KMSDRM either.
      {"quelt-no-compositor", nullptr, nullptr, false, 1, true},
      // SDL's Wayland driver asked for by name: ours is tried instead, and SDL never uses its own.
      {"quelt-no-compositor", "wayland", nullptr, false, 1, true},
      // Another SDL driver named: no compositor is asked for.
      {"quelt-no-compositor", "x11", nullptr, false, 0, true},
      // A service without the session's variables tries its user's default socket...
      {nullptr, nullptr, nullptr, true, 1, false},
      // ...unless an X server is named.
      {nullptr, nullptr, ":quelt-no-x-server", true, 0, true},
  };
  // A fresh process each: the display is chosen once per process, at its first top-level window.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const FallbackCase& each : cases) {
    EXPECT_EXIT(StartWith(each), ::testing::ExitedWithCode(0), "")
        << "WAYLAND_DISPLAY=" << (each.wayland_display ? each.wayland_display : "")
        << " SDL_VIDEODRIVER=" << (each.sdl_video_driver ? each.sdl_video_driver : "")
        << " DISPLAY=" << (each.x_display ? each.x_display : "")
        << (each.stale_default_socket ? " stale wayland-0" : "");
  }
}

}  // namespace
}  // namespace platform::test
