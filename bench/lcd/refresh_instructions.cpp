// Instructions executed per refresh of the panel, a figure that neither the machine's load nor
// its caches can move. Run under callgrind with collection off at the start
// (scripts/bench --count does):
//   valgrind --tool=callgrind --collect-atstart=no build/bench/lcd/refresh_instructions
// Each case collects only around its refreshes and ends with a dump named
// "<refreshes> <case>", whose total divided by the refreshes is the figure. Outside valgrind the
// client requests do nothing and the program only runs the cases.
//
// The cases: the full panel with the LCD unchanged (the refresh of every quiet tick), with its
// text line scrolled on by one step, and with every LCD pixel changed; the compact view with the
// line scrolled; and the scrolled line presented on screens of other sizes, where the window's
// changed rectangles are scaled into a framebuffer of the screen's size as a full-screen window
// is (letterbox.h). The rectangles are found by comparing the window with its last picture and
// gathered as the display gathers what waits to be presented (window_surfaces.h), outside the
// count.
#include <valgrind/callgrind.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/panel_state.h"
#include "bench/lcd/panel_on_headless.h"
#include "lcd/screen_paint.h"
#include "platform/display/letterbox.h"
#include "platform/display/window_surfaces.h"
#include "platform/testing_display.h"

namespace {

constexpr int Width = 800;
constexpr int Height = 480;
constexpr int Refreshes = 16;

struct ScreenSize {
  int width, height;
};

// What reaches the screen when the window is scaled: set while a screen-size case runs.
struct ScaledScreen {
  platform::display::Letterbox letterbox;
  std::vector<std::uint32_t> framebuffer;
  std::vector<std::uint32_t> last_picture;
};
ScaledScreen* scaled = nullptr;
// Whether the instructions are being collected: the presentation sets its comparison aside.
bool counting = false;

// Pauses the collection around what is not part of the figure, and resumes it.
void PauseOrResumeCount() {
  if (counting) CALLGRIND_TOGGLE_COLLECT;
}

// The rows that differ from the last picture, each with the columns that changed in it, gathered
// into the rectangles the display would present.
std::vector<RECT> ChangedRects(const std::uint32_t* pixels) {
  platform::display::WindowRecord window;
  window.width = Width;
  window.height = Height;
  for (int y = 0; y < Height; ++y) {
    const std::uint32_t* now = pixels + y * Width;
    const std::uint32_t* before = scaled->last_picture.data() + y * Width;
    int left = 0, right = Width;
    while (left < Width && now[left] == before[left]) ++left;
    if (left == Width) continue;
    while (now[right - 1] == before[right - 1]) --right;
    platform::display::AddDirty(window, RECT{left, y, right, y + 1});
  }
  return window.dirty;
}

void PresentScaled(const platform::testing::PresentedWindow& presented) {
  if (!scaled || presented.width != Width || presented.height != Height) return;
  PauseOrResumeCount();
  const std::vector<RECT> rects = ChangedRects(presented.pixels);
  PauseOrResumeCount();
  for (const RECT& rect : rects) {
    const RECT area = platform::display::AreaOfPictureRect(scaled->letterbox, rect);
    platform::display::DrawLetterboxed(scaled->letterbox, presented.pixels,
                                       scaled->framebuffer.data(), scaled->letterbox.area_width,
                                       area);
  }
  PauseOrResumeCount();
  scaled->last_picture.assign(presented.pixels, presented.pixels + Width * Height);
  PauseOrResumeCount();
}

WORD LocalMinute() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now.wMinute;
}

// Brings the panel into the view with a first frame and two refreshes (the clock's first line,
// then its grey), then counts `Refreshes` refreshes, each after `change` ran uncounted. A count
// during which the host's clock turned to another minute, which redraws the clock line, is made
// again.
void Count(const std::string& name, std::uint8_t panel_mode, const std::function<void()>& change) {
  const HWND window = PreparePanel();
  Panel.PanelMode = panel_mode;
  for (;;) {
    ShowScrollingFrame(0);
    PaintPanel(window);
    RefreshPanel(window);
    RefreshPanel(window);
    const WORD minute = LocalMinute();
    CALLGRIND_ZERO_STATS;
    for (int i = 0; i < Refreshes; ++i) {
      change();
      CALLGRIND_TOGGLE_COLLECT;
      counting = true;
      RefreshPanel(window);
      counting = false;
      CALLGRIND_TOGGLE_COLLECT;
    }
    if (LocalMinute() == minute) break;
  }
  const std::string dump = std::to_string(Refreshes) + " " + name;
  CALLGRIND_DUMP_STATS_AT(dump.c_str());
}

void CountOnScreen(const std::string& name, ScreenSize screen,
                   const std::function<void()>& change) {
  ScaledScreen on_screen{
      platform::display::FitPicture(Width, Height, screen.width, screen.height),
      std::vector<std::uint32_t>(static_cast<std::size_t>(screen.width) * screen.height),
      std::vector<std::uint32_t>(static_cast<std::size_t>(Width) * Height)};
  scaled = &on_screen;
  Count(name + ", " + std::to_string(screen.width) + " x " + std::to_string(screen.height), 1,
        change);
  scaled = nullptr;
}

}  // namespace

int main() {
  std::size_t step = 0;
  const auto unchanged = [] {};
  const auto scroll = [&step] { ShowScrollingFrame(++step); };
  const auto invert = [] { InvertLcdMatrix(); };
  platform::testing::ObservePresents(PresentScaled);
  Count("full panel, LCD unchanged", FullPanelMode, unchanged);
  Count("full panel, LCD line scrolled", FullPanelMode, scroll);
  Count("full panel, whole LCD changed", FullPanelMode, invert);
  Count("compact view, LCD line scrolled", CompactViewMode, scroll);
  for (const ScreenSize screen : {ScreenSize{1024, 600}, ScreenSize{1920, 1080}}) {
    CountOnScreen("full panel, LCD line scrolled", screen, scroll);
    CountOnScreen("full panel, LCD unchanged", screen, unchanged);
  }
  std::puts("done");
  return 0;
}
