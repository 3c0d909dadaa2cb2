// Message boxes: every box is recorded (text, caption, owner) for the tests; a real display shows
// it to the user, the headless display answers it itself after a delay the tests can set.
#include <map>
#include <mutex>
#include <string>

#include "platform/display/display_backend.h"
#include "platform/display/display_thread.h"
#include "platform/internal/module_interfaces.h"
#include "platform/testing_display.h"

namespace platform {
namespace display {
namespace {

struct PendingBox {
  HWND owner;
  bool answered;
  std::int64_t due_ms;  // headless: answered once NowMs reaches it; -1 while a user decides
};

std::mutex boxes_lock;
std::vector<testing::ShownMessageBox> shown_boxes;
std::map<int, PendingBox> pending_boxes;
int next_token = 1;
std::int64_t headless_delay_ms = 0;

std::u16string TextOrEmpty(LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); }

}  // namespace

void MessageBoxAnswered(int token) {
  HWND owner = nullptr;
  {
    std::lock_guard<std::mutex> hold(boxes_lock);
    const auto found = pending_boxes.find(token);
    if (found == pending_boxes.end()) return;
    found->second.answered = true;
    owner = found->second.owner;
  }
  // Wakes the loop that waits for the answer, wherever it waits.
  if (owner) PostMessageW(owner, WM_NULL, 0, 0);
  ActiveBackend().wake();
}

}  // namespace display

using namespace display;

int DisplayBeginMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption) {
  const DisplayBackend& backend = ActiveBackend();
  int token;
  {
    std::lock_guard<std::mutex> hold(boxes_lock);
    shown_boxes.push_back({owner, TextOrEmpty(text), TextOrEmpty(caption)});
    token = next_token++;
    const bool headless = backend.show_message_box == nullptr;
    pending_boxes[token] = PendingBox{owner, false, headless ? NowMs() + headless_delay_ms : -1};
  }
  // Boxes asked for on another thread than the display thread count as answered (MessageBoxW
  // has told their text on standard error): the display thread alone draws.
  if (backend.show_message_box &&
      !(OnDisplayThread() && backend.show_message_box(token, text, caption))) {
    MessageBoxAnswered(token);
  }
  return token;
}

bool DisplayMessageBoxDone(int token) {
  std::lock_guard<std::mutex> hold(boxes_lock);
  const auto found = pending_boxes.find(token);
  if (found == pending_boxes.end()) return true;
  PendingBox& box = found->second;
  if (box.due_ms >= 0 && NowMs() >= box.due_ms) box.answered = true;
  if (!box.answered) return false;
  pending_boxes.erase(found);
  return true;
}

std::int64_t DisplayMessageBoxDueMs(int token) {
  std::lock_guard<std::mutex> hold(boxes_lock);
  const auto found = pending_boxes.find(token);
  return found == pending_boxes.end() ? NowMs() : found->second.due_ms;
}

std::vector<testing::ShownMessageBox> testing::MessageBoxesShown() {
  std::lock_guard<std::mutex> hold(boxes_lock);
  return shown_boxes;
}

void testing::ClearMessageBoxesShown() {
  std::lock_guard<std::mutex> hold(boxes_lock);
  shown_boxes.clear();
}

void testing::SetMessageBoxDelayMs(std::int64_t delay_ms) {
  std::lock_guard<std::mutex> hold(boxes_lock);
  headless_delay_ms = delay_ms < 0 ? 0 : delay_ms;
}

}  // namespace platform
