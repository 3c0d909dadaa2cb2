// MessageBoxW: the display shows the box; meanwhile the calling thread runs a modal loop that
// keeps delivering its timers, posted and sent messages, as a Win32 modal loop does.
#include "platform/core/message_queue.h"
#include "platform/internal/host.h"

namespace {

// How often the modal loop asks the display whether the box was answered, in ms of the active
// clock. The display has no call to wake the loop; a pumping thread returns sooner on input.
constexpr std::int64_t kAnswerPollMs = 10;

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT) {
  using namespace platform::core;
  ThreadState* me = CurrentThread();
  if (me == nullptr || (owner != nullptr && !IsWindow(owner))) return 0;
  // A null caption reads "Error", as in Win32.
  int box = platform::DisplayBeginMessageBox(owner, text != nullptr ? text : u"",
                                             caption != nullptr ? caption : u"Error");
  MSG msg{};
  while (!platform::DisplayMessageBoxDone(box)) {
    Fetched fetched = FetchMessage(me, MessageFilter{}, platform::NowMs() + kAnswerPollMs, &msg);
    if (fetched == Fetched::Quit) {
      // A quit request ends the modal loop unanswered and stays for the caller's own loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return 0;
    }
    if (fetched == Fetched::Message) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return IDOK;
}
