// MessageBoxW: the display shows the box, and its text goes to standard error as an error line
// (a head unit's panel may run where nobody sees the screen); meanwhile the calling thread runs a
// modal loop that keeps delivering its timers, posted and sent messages, as a Win32 modal loop
// does, and the owner window is disabled.
#include "platform/core/message_queue.h"
#include "platform/diagnostics.h"
#include "platform/internal/module_interfaces.h"
#include "platform/testing.h"

namespace {

// How often a loop without an owner window asks whether a user answered: the display wakes such
// a loop only through the owner's queue or its own event wait.
constexpr std::int64_t kAnswerPollMs = 50;

// When to ask the display again: when it answers by itself (headless), else when woken.
std::int64_t NextAnswerCheck(int box, HWND owner) {
  std::int64_t due = platform::DisplayMessageBoxDueMs(box);
  if (due >= 0) return due;
  return owner != nullptr ? platform::core::kNever : platform::NowMs() + kAnswerPollMs;
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT) {
  using namespace platform::core;
  ThreadState* me = CurrentThread();
  if (me == nullptr || (owner != nullptr && !IsWindow(owner))) return 0;
  // A null caption reads "Error", as in Win32.
  if (caption == nullptr) caption = u"Error";
  if (text == nullptr) text = u"";
  platform::LogLine(platform::LogPriority::Error,
                    platform::Utf8FromWide(caption) + ": " + platform::Utf8FromWide(text));
  int box = platform::DisplayBeginMessageBox(owner, text, caption);
  if (TraceRecording()) {
    platform::TraceEvent("MessageBoxW " + platform::Utf8FromWide(caption) + ": " +
                         platform::Utf8FromWide(text));
  }
  // The box is modal to its owner: a touch or a key meant for the owner goes nowhere until the
  // box is answered, while the owner's timers and posted messages keep running.
  const bool owner_was_enabled = owner != nullptr && !EnableWindow(owner, FALSE);
  int answer = IDOK;
  MSG msg{};
  while (!platform::DisplayMessageBoxDone(box)) {
    Fetched fetched = FetchMessage(me, MessageFilter{}, NextAnswerCheck(box, owner), &msg);
    if (fetched == Fetched::Quit) {
      // A quit request ends the modal loop unanswered and stays for the caller's own loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      answer = 0;
      break;
    }
    if (fetched == Fetched::Message) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (owner_was_enabled) EnableWindow(owner, TRUE);
  return answer;
}
