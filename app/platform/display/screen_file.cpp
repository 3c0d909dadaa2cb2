// The headless screen, written to a PNG file by a thread of its own: the program's threads never
// wait for a file. The thread stops (writing a last picture) when the process exits.
#include "platform/display/screen_file.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/diagnostics.h"
#include "platform/internal/module_interfaces.h"
#include "platform/png_file.h"
#include "platform/testing_display.h"

namespace platform::display {
namespace {

// Twice a second at most: enough to follow the LCD by eye, cheap on a small unit.
constexpr auto WritePeriod = std::chrono::milliseconds(500);

// Left alive to the end of the process: the exit handler stops the thread, and nothing here may
// be destroyed while it runs.
struct ScreenFileWriter {
  std::string path;
  std::vector<std::uint8_t> last_written;
  std::mutex lock;
  std::condition_variable stop_signal;
  bool stopping = false;
  std::thread thread;
};
ScreenFileWriter* writer = nullptr;

void WriteUntilStopped(ScreenFileWriter* screen) {
  bool failing = false;  // said once for each run of failed writes
  std::unique_lock<std::mutex> hold(screen->lock);
  for (;;) {
    const bool stopping =
        screen->stop_signal.wait_for(hold, WritePeriod, [&] { return screen->stopping; });
    const ScreenFileOutcome outcome = WriteScreenFileIfChanged(screen->path, &screen->last_written);
    if (outcome == ScreenFileOutcome::Failed && !failing) {
      LogLine(LogPriority::Warning, "cannot write the screen to " + screen->path);
    }
    if (outcome != ScreenFileOutcome::Unchanged) failing = outcome == ScreenFileOutcome::Failed;
    if (stopping) return;
  }
}

void StopScreenFile() {
  {
    std::lock_guard<std::mutex> hold(writer->lock);
    writer->stopping = true;
  }
  writer->stop_signal.notify_all();
  writer->thread.join();
}

}  // namespace

ScreenFileOutcome WriteScreenFileIfChanged(const std::string& path,
                                           std::vector<std::uint8_t>* last_written) {
  std::vector<std::uint8_t> screen = ComposeScreen();
  if (screen == *last_written) return ScreenFileOutcome::Unchanged;
  if (!WritePngFile(path, testing::kScreenWidth, testing::kScreenHeight, screen)) {
    return ScreenFileOutcome::Failed;
  }
  *last_written = std::move(screen);
  return ScreenFileOutcome::Written;
}

void StartScreenFile() {
  const char* path = std::getenv("QUELT_SCREENSHOT");
  if (!path || !*path || writer) return;
  writer = new ScreenFileWriter;
  writer->path = path;
  writer->thread = std::thread([] {
    GiveThreadSignalStack();
    WriteUntilStopped(writer);
  });
  std::atexit(StopScreenFile);
}

}  // namespace platform::display
