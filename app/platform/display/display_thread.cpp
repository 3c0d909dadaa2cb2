// The display thread and the window requests other threads leave for it.
#include "platform/display/display_thread.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace platform::display {
namespace {

enum class WindowRequest { Show, Hide, Destroy };

// Written once, at the start of a real display; read by every thread that shows or draws.
std::atomic<std::thread::id> display_thread{};

std::mutex requests_lock;
std::vector<std::pair<HWND, WindowRequest>> requests;

void Queue(const DisplayBackend& backend, HWND window, WindowRequest request) {
  {
    std::lock_guard<std::mutex> hold(requests_lock);
    requests.emplace_back(window, request);
  }
  backend.wake();
}

void RunQueued(const DisplayBackend& backend) {
  std::vector<std::pair<HWND, WindowRequest>> taken;
  {
    std::lock_guard<std::mutex> hold(requests_lock);
    taken.swap(requests);
  }
  for (const auto& [window, request] : taken) {
    if (request == WindowRequest::Destroy) {
      backend.window_destroyed(window);
    } else {
      backend.window_shown(window, request == WindowRequest::Show);
    }
  }
}

}  // namespace

void BecomeDisplayThread() { display_thread = std::this_thread::get_id(); }

bool OnDisplayThread() { return std::this_thread::get_id() == display_thread; }

// No thread is the display thread before a real display started, nor under headless.
bool DisplayRunsHere() { return display_thread.load() == std::thread::id() || OnDisplayThread(); }

void CreateOnDisplayThread(const DisplayBackend& backend, HWND window) {
  if (DisplayRunsHere()) backend.window_created(window);
}

void ShowOnDisplayThread(const DisplayBackend& backend, HWND window, bool visible) {
  if (DisplayRunsHere()) {
    backend.window_shown(window, visible);
  } else {
    Queue(backend, window, visible ? WindowRequest::Show : WindowRequest::Hide);
  }
}

void DestroyOnDisplayThread(const DisplayBackend& backend, HWND window) {
  if (DisplayRunsHere()) {
    backend.window_destroyed(window);
  } else {
    Queue(backend, window, WindowRequest::Destroy);
  }
}

void WaitOnDisplayThread(const DisplayBackend& backend, int timeout_ms) {
  RunQueued(backend);
  backend.wait_events(timeout_ms);
  RunQueued(backend);
}

}  // namespace platform::display
