// The shared pen path every real display reports through: the messages a window receives for a
// pen that goes down, moves and lifts in the area the display shows it in, at its own size or
// letterboxed on a screen of another size, with presses on the bars dropped, a pen that moves onto
// a bar lifted at the picture's edge, and a window that hides or is disabled.
#include "platform/display/pen_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing_display.h"

namespace platform::display {
namespace {

enum class Step { Down, Move, Up, UpOnAnotherWindow, Hide, Disable, Enable };

struct PenStep {
  Step step;
  double x;
  double y;
};

struct PenCase {
  const char* name;
  // The area the display shows the 800 x 480 window in.
  int area_width;
  int area_height;
  std::vector<PenStep> steps;
  // What the window received: "down", "move" or "up", the buttons held, and the pixel.
  std::vector<std::string> expected;
};

LRESULT PlainProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND PanelWindow() {
  return CreateWindowExW(0, u"PenTestWindow", u"Pen", WS_POPUP | WS_VISIBLE, 0, 0, 800, 480,
                         nullptr, nullptr, nullptr, nullptr);
}

std::string Describe(const MSG& msg) {
  const char* name = msg.message == WM_LBUTTONDOWN ? "down"
                     : msg.message == WM_MOUSEMOVE ? "move"
                     : msg.message == WM_LBUTTONUP ? "up"
                                                   : "other";
  return std::string(name) + " " + std::to_string(msg.wParam) + " " +
         std::to_string(static_cast<short>(LOWORD(msg.lParam))) + "," +
         std::to_string(static_cast<short>(HIWORD(msg.lParam)));
}

// The pen messages posted to the window so far, up to a marker posted after them.
std::vector<std::string> PenMessages(HWND window) {
  PostMessageW(window, WM_USER, 0, 0);
  std::vector<std::string> received;
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != WM_USER) {
    if (msg.message == WM_LBUTTONDOWN || msg.message == WM_MOUSEMOVE ||
        msg.message == WM_LBUTTONUP) {
      received.push_back((msg.hwnd == window ? "" : "elsewhere ") + Describe(msg));
    }
  }
  return received;
}

void TakeStep(HWND window, HWND other, const PenCase& each, const PenStep& step) {
  const int width = each.area_width;
  const int height = each.area_height;
  switch (step.step) {
    case Step::Down:
      ReportPen(window, step.x, step.y, width, height, PenAction::Down);
      break;
    case Step::Move:
      ReportPen(window, step.x, step.y, width, height, PenAction::Move);
      break;
    case Step::Up:
      ReportPen(window, step.x, step.y, width, height, PenAction::Up);
      break;
    case Step::UpOnAnotherWindow:
      ReportPen(other, step.x, step.y, width, height, PenAction::Up);
      break;
    case Step::Hide:
      ShowWindow(window, SW_HIDE);
      break;
    case Step::Disable:
      EnableWindow(window, FALSE);
      break;
    case Step::Enable:
      EnableWindow(window, TRUE);
      break;
  }
}

// 800 x 480 on 1024 x 600: the picture fills 12..1012 across at 1.25 area pixels a pixel, with a
// bar of 12 columns on each side; area (512, 300) shows pixel (400, 240).
TEST(PenInput, WindowsReceiveThePenAsButtonMessagesOnTheirPicture) {
  testing::ForceHeadlessDisplay();
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = PlainProcedure;
  window_class.lpszClassName = u"PenTestWindow";
  RegisterClassW(&window_class);
  const PenCase cases[] = {
      {"own size: a tap",
       800,
       480,
       {{Step::Down, 10, 20}, {Step::Up, 10, 20}},
       {"down 1 10,20", "up 0 10,20"}},
      {"own size: a drag, moves within one pixel coalesced",
       800,
       480,
       {{Step::Down, 10, 20},
        {Step::Move, 10.6, 20.3},
        {Step::Move, 11, 20},
        {Step::Move, 15, 25},
        {Step::Up, 15, 25}},
       {"down 1 10,20", "move 1 11,20", "move 1 15,25", "up 0 15,25"}},
      {"own size: moving off the window lifts at its edge",
       800,
       480,
       {{Step::Down, 790, 20}, {Step::Move, 805, 20}, {Step::Up, 805, 20}},
       {"down 1 790,20", "up 0 799,20"}},
      {"scaled: a tap maps onto the pixel drawn under it",
       1024,
       600,
       {{Step::Down, 512, 300}, {Step::Up, 1011, 599}},
       {"down 1 400,240", "up 0 799,479"}},
      {"scaled: a press on a bar starts nothing, nor does its release",
       1024,
       600,
       {{Step::Down, 5, 300}, {Step::Move, 512, 300}, {Step::Up, 512, 300}},
       {}},
      {"scaled: a held pen that moves onto a bar lifts at the nearest edge",
       1024,
       600,
       {{Step::Down, 512, 300},
        {Step::Move, 600, 300},
        {Step::Move, 1015, 300},
        {Step::Move, 600, 300},
        {Step::Up, 600, 300}},
       {"down 1 400,240", "move 1 470,240", "up 0 799,240"}},
      {"4:3 screen: bars above and below",
       1024,
       768,
       {{Step::Down, 512, 70}, {Step::Down, 512, 80}, {Step::Up, 512, 700}},
       {"down 1 400,2", "up 0 400,479"}},
      {"a second press while the pen is held is no press",
       800,
       480,
       {{Step::Down, 10, 20}, {Step::Down, 30, 40}, {Step::Up, 30, 40}},
       {"down 1 10,20", "up 0 30,40"}},
      {"a lift on another window does not lift this one's pen",
       800,
       480,
       {{Step::Down, 10, 20}, {Step::UpOnAnotherWindow, 10, 20}, {Step::Up, 12, 20}},
       {"down 1 10,20", "up 0 12,20"}},
      {"a window that hides with the pen down hears it lift where it last was",
       800,
       480,
       {{Step::Down, 10, 20}, {Step::Move, 50, 60}, {Step::Hide, 0, 0}, {Step::Up, 70, 80}},
       {"down 1 10,20", "move 1 50,60", "up 0 50,60"}},
      {"a disabled window gets no press, and so no release either",
       800,
       480,
       {{Step::Disable, 0, 0},
        {Step::Down, 10, 20},
        {Step::Enable, 0, 0},
        {Step::Move, 30, 40},
        {Step::Up, 30, 40},
        {Step::Down, 50, 60},
        {Step::Up, 50, 60}},
       {"down 1 50,60", "up 0 50,60"}},
  };
  for (const PenCase& each : cases) {
    SCOPED_TRACE(each.name);
    HWND window = PanelWindow();
    HWND other = PanelWindow();
    for (const PenStep& step : each.steps) TakeStep(window, other, each, step);
    EXPECT_EQ(PenMessages(window), each.expected);
    DestroyWindow(other);
    DestroyWindow(window);
  }
}

// A window that goes with the pen down lets go of it: the next window's press is a press.
TEST(PenInput, AWindowThatGoesWithThePenDownLetsGoOfIt) {
  testing::ForceHeadlessDisplay();
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = PlainProcedure;
  window_class.lpszClassName = u"PenTestWindow";
  RegisterClassW(&window_class);
  HWND first = PanelWindow();
  ReportPen(first, 10, 20, 800, 480, PenAction::Down);
  DestroyWindow(first);
  HWND second = PanelWindow();
  ReportPen(second, 30, 40, 800, 480, PenAction::Down);
  ReportPen(second, 30, 40, 800, 480, PenAction::Up);
  EXPECT_EQ(PenMessages(second), (std::vector<std::string>{"down 1 30,40", "up 0 30,40"}));
  DestroyWindow(second);
}

}  // namespace
}  // namespace platform::display
