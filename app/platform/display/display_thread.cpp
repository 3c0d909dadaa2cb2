// The display thread and the requests other threads leave for it.
#include "platform/display/display_thread.h"

#include <mutex>
#include <thread>

namespace platform::display {
namespace {

std::thread::id display_thread;

std::mutex requests_lock;
std::vector<std::pair<HWND, WindowRequest>> requests;

}  // namespace

void BecomeDisplayThread() { display_thread = std::this_thread::get_id(); }

bool OnDisplayThread() { return std::this_thread::get_id() == display_thread; }

void QueueWindowRequest(HWND window, WindowRequest request) {
  std::lock_guard<std::mutex> hold(requests_lock);
  requests.emplace_back(window, request);
}

std::vector<std::pair<HWND, WindowRequest>> TakeWindowRequests() {
  std::vector<std::pair<HWND, WindowRequest>> taken;
  std::lock_guard<std::mutex> hold(requests_lock);
  taken.swap(requests);
  return taken;
}

}  // namespace platform::display
