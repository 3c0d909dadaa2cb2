// The shared set-up of the refresh measurements: the pictures of the real program, the drawing
// surfaces made by start-up's own function, and frames drawn by the controller simulator.
#include "bench/lcd/panel_on_headless.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/panel_state.h"
#include "app/pictures.h"
#include "app/start_up.h"
#include "platform/resources.h"
#include "platform/testing_display.h"
#include "resources/panel_resources.h"
#include "sim/audio_unit.h"

namespace {

constexpr int Width = 800;
constexpr int Height = 480;
constexpr std::uint32_t StepMs = 40;
constexpr std::size_t ScrollSteps = 64;

LRESULT PlainProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

struct Matrix {
  std::uint8_t pixels[LcdMatrixRows][LcdMatrixColumns] = {};
};

const std::vector<std::unique_ptr<Matrix>>& ScrollingFrames() {
  static const std::vector<std::unique_ptr<Matrix>> frames = [] {
    std::vector<std::unique_ptr<Matrix>> made;
    sim::AudioUnit unit;
    unit.info_shown = true;
    SYSTEMTIME time{};
    time.wHour = 9;
    time.wMinute = 5;
    for (std::uint32_t now_ms = 0; now_ms < ScrollSteps * StepMs; now_ms += StepMs) {
      sim::LcdImage image;
      sim::DrawAudioUnit(unit, time, now_ms, &image);
      auto& matrix = made.emplace_back(std::make_unique<Matrix>());
      for (int y = 0; y < sim::LcdHeight; ++y) {
        for (int x = 0; x < sim::LcdWidth; ++x)
          matrix->pixels[y][x] = sim::LcdPixel(image, x, y) ? 255 : 0;
      }
    }
    return made;
  }();
  return frames;
}

}  // namespace

HWND PreparePanel() {
  static const HWND window = [] {
    platform::testing::ForceHeadlessDisplay();
    SetResourceTable(&PanelResources());
    const std::filesystem::path card = std::filesystem::temp_directory_path() /
                                       ("quelt-refresh-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(card);
    std::filesystem::copy_file(QUELT_SOURCE_DIR "/resources/storage-card/QUELTIMAGE.bmp",
                               card / "QUELTIMAGE.bmp",
                               std::filesystem::copy_options::overwrite_existing);
    setenv("QUELT_STORAGE_CARD", card.c_str(), 1);

    ResetPanelState();
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = PlainProcedure;
    window_class.lpszClassName = u"RefreshBench";
    RegisterClassW(&window_class);
    HWND made = CreateWindowExW(0, u"RefreshBench", u"RefreshBench", WS_POPUP | WS_VISIBLE, 0, 0,
                                Width, Height, nullptr, nullptr, nullptr, nullptr);
    Panel.MainWindow = made;
    LoadPictures(made);
    HDC dc = GetDC(made);
    if (!CreateDrawingSurfaces(dc)) std::abort();
    ReleaseDC(made, dc);
    std::filesystem::remove_all(card);
    return made;
  }();
  return window;
}

void ShowScrollingFrame(std::size_t step) {
  const auto& frames = ScrollingFrames();
  const Matrix& frame = *frames[step % frames.size()];
  std::lock_guard<std::mutex> hold(Panel.LcdMatrixLock);
  // As the frame assembler does: the rows of each page that changed are marked written.
  for (int top = 0; top < LcdMatrixRows; top += 8) {
    const int rows = std::min(8, LcdMatrixRows - top);
    const std::size_t bytes = static_cast<std::size_t>(rows) * LcdMatrixColumns;
    if (std::memcmp(Panel.LcdPixelMatrix[top], frame.pixels[top], bytes) == 0) continue;
    std::memcpy(Panel.LcdPixelMatrix[top], frame.pixels[top], bytes);
    std::fill_n(Panel.LcdRowWritten + top, rows, true);
  }
}

void InvertLcdMatrix() {
  std::lock_guard<std::mutex> hold(Panel.LcdMatrixLock);
  for (auto& row : Panel.LcdPixelMatrix) {
    for (std::uint8_t& pixel : row) pixel = pixel ? 0 : 255;
  }
  std::fill(std::begin(Panel.LcdRowWritten), std::end(Panel.LcdRowWritten), true);
}
