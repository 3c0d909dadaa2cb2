// Instructions the whole program executes in a minute of virtual time, the figure per minute
// beside the per-refresh one (bench/lcd/refresh_instructions.cpp): the panel with its in-process
// simulated controller on the headless display, both threads under the deterministic scheduler,
// so that the same build counts the same. Run under callgrind (scripts/bench --count does): the
// costs are zeroed as each minute starts, for every thread, and the minute ends with a dump named
// "1 <case>" of all threads together.
//
// The minutes: the LCD's text line scrolling (INFO touched, a changed frame about every 50 ms),
// and the LCD standing still (INFO touched again), where every poll tick still refreshes. The
// count includes the simulator drawing its LCD for every read, which a real unit does not cost
// the panel.
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/app_main.h"
#include "app/panel_state.h"
#include "platform/resources.h"
#include "platform/testing.h"
#include "platform/testing_display.h"
#include "resources/panel_resources.h"
#include "sim/register.h"

namespace {

using platform::testing::InjectPen;
using platform::testing::Pen;

constexpr std::int64_t MinuteMs = 60'000;
// The panel is shown at about 5 s, when the controller's start-up has passed.
constexpr std::int64_t ShownByMs = 6'000;
constexpr int InfoX = 760, InfoY = 180;

void TouchInfo() {
  InjectPen(Pen::Down, InfoX, InfoY);
  platform::AdvanceVirtualTime(100);
  InjectPen(Pen::Up, InfoX, InfoY);
  // The touch's packet reaches the controller and its LCD answers.
  platform::AdvanceVirtualTime(1'000);
}

void CountMinute(const std::string& name) {
  CALLGRIND_ZERO_STATS;
  platform::AdvanceVirtualTime(MinuteMs);
  const std::string dump = "1 " + name;
  CALLGRIND_DUMP_STATS_AT(dump.c_str());
}

}  // namespace

int main() {
  const std::filesystem::path card =
      std::filesystem::temp_directory_path() / ("quelt-minute-count-" + std::to_string(getpid()));
  std::filesystem::create_directories(card / "App");
  std::filesystem::copy_file(QUELT_SOURCE_DIR "/resources/storage-card/QUELTIMAGE.bmp",
                             card / "QUELTIMAGE.bmp");
  setenv("QUELT_STORAGE_CARD", card.c_str(), 1);
  setenv("QUELT_LINK_DEVICES", "sim", 1);
  platform::testing::ForceHeadlessDisplay();
  SetResourceTable(&PanelResources());
  RegisterSimulatorDevices();

  {
    platform::VirtualRunScope run(platform::LocalTime(2026, 12, 9, 9, 5, 0));
    platform::SetTraceRecording(false);
    platform::StartMainThread([] { return AppMain(nullptr, nullptr, nullptr, SW_SHOW); });
    platform::AdvanceVirtualTime(ShownByMs);
    TouchInfo();
    CountMinute("whole program, LCD line scrolling");
    TouchInfo();
    CountMinute("whole program, LCD standing still");
    PostMessageW(Panel.MainWindow, WM_CLOSE, 0, 0);
    platform::RunUntilMainReturns(10'000, nullptr);
  }
  std::filesystem::remove_all(card);
  std::puts("done");
  return 0;
}
