// The DRM display against what the machine has: a named display (X11, Wayland, an SDL driver)
// keeps it off the cards; a card named but missing is said in one line and refused; where cards
// exist, their connectors are read as the display reads them and one that has a screen connected is
// chosen. Skipped where the machine has no /dev/dri.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/display/display_backend.h"
#include "platform/display/drm/drm_state.h"

namespace platform::display {
// The DRM entry of the table of displays (backend_table.cpp).
bool StartDrmBackend();
}  // namespace platform::display

namespace platform::display::drm {
namespace {

TEST(DrmDevice, ACardNamedButMissingIsSaidInOneLineAndRefused) {
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  setenv("QUELT_DRM_DEVICE", "/nonexistent/card7", 1);
  ::testing::internal::CaptureStderr();
  const bool started = StartDrmBackend();
  const bool again = StartDrmBackend();
  const std::string said = ::testing::internal::GetCapturedStderr();
  unsetenv("QUELT_DRM_DEVICE");
  EXPECT_FALSE(started);
  EXPECT_FALSE(again);
  EXPECT_NE(said.find("cannot show windows on DRM (/nonexistent/card7: No such file"),
            std::string::npos)
      << said;
  // Said once, though it is tried again.
  EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
}

TEST(DrmDevice, ANamedDisplayLeavesTheCardsAloneWithoutAWord) {
  const char* const named[][2] = {
      {"DISPLAY", ":99"}, {"WAYLAND_DISPLAY", "wayland-9"}, {"SDL_VIDEODRIVER", "kmsdrm"}};
  for (const auto& [name, value] : named) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("QUELT_DRM_DEVICE");
    setenv(name, value, 1);
    ::testing::internal::CaptureStderr();
    const bool started = StartDrmBackend();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << name;
    EXPECT_FALSE(started) << name;
    unsetenv(name);
  }
}

TEST(DrmDevice, EveryCardListsItsConnectorsAndAConnectedScreenIsChosen) {
  if (access("/dev/dri", F_OK) != 0) GTEST_SKIP() << "no /dev/dri on this machine";
  bool any_read = false;
  for (const std::string& path : CardPaths()) {
    const int card = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (card < 0) continue;
    const std::vector<ConnectorCandidate> connectors = ReadConnectors(card);
    close(card);
    any_read = true;
    const OutputChoice choice = ChooseOutput(connectors);
    bool any_connected = false;
    for (const ConnectorCandidate& connector : connectors) {
      any_connected = any_connected || (connector.connected && !connector.modes.empty());
    }
    ASSERT_EQ(choice.connector >= 0, any_connected) << path;
    if (choice.connector < 0) continue;
    const ModeCandidate& mode = connectors[choice.connector].modes[choice.mode];
    EXPECT_TRUE(connectors[choice.connector].connected) << path;
    EXPECT_GT(mode.width, 0) << path;
    EXPECT_GT(mode.height, 0) << path;
  }
  if (!any_read) GTEST_SKIP() << "no card this user may open";
}

}  // namespace
}  // namespace platform::display::drm
