// The pen on the DRM display: which input events become pen-down, moves and pen-up in screen
// pixels (the first finger only, the left button of absolute and relative pointers, a pen that
// lifts when its device goes). The shared pen path from there on has its own test (pen_input_test).
#include "platform/display/drm/drm_pen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/display/pen_input.h"

namespace platform::display {
namespace {

using drm::InputEvent;
using drm::InputKind;

std::string Text(const std::optional<drm::PenEvent>& pen) {
  if (!pen) return "-";
  const char* action = pen->action == PenAction::Down   ? "down"
                       : pen->action == PenAction::Move ? "move"
                                                        : "up";
  return std::string(action) + " " + std::to_string(static_cast<int>(pen->x)) + "," +
         std::to_string(static_cast<int>(pen->y));
}

int touch_screen, tablet, mouse;  // their addresses stand for three devices

InputEvent Touch(InputKind kind, int slot, double x = 0, double y = 0) {
  return InputEvent{kind, &touch_screen, slot, x, y};
}

InputEvent From(const void* device, InputKind kind, double x = 0, double y = 0) {
  return InputEvent{kind, device, 0, x, y};
}

TEST(DrmPen, InputEventsBecomePenEventsInScreenPixels) {
  struct Step {
    InputEvent event;
    const char* pen;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"a tap of one finger",
       {{Touch(InputKind::TouchDown, 0, 100.7, 50.2), "down 100,50"},
        {Touch(InputKind::TouchMotion, 0, 120, 60), "move 120,60"},
        {Touch(InputKind::TouchUp, 0), "up 120,60"}}},
      {"a second finger is not the pen",
       {{Touch(InputKind::TouchDown, 0, 10, 10), "down 10,10"},
        {Touch(InputKind::TouchDown, 1, 500, 300), "-"},
        {Touch(InputKind::TouchMotion, 1, 510, 300), "-"},
        {Touch(InputKind::TouchUp, 1), "-"},
        {Touch(InputKind::TouchUp, 0), "up 10,10"},
        {Touch(InputKind::TouchDown, 1, 30, 40), "down 30,40"}}},
      {"a cancelled touch lifts the pen",
       {{Touch(InputKind::TouchDown, 2, 10, 10), "down 10,10"},
        {Touch(InputKind::TouchCancel, 0), "up 10,10"},
        {Touch(InputKind::TouchUp, 2), "-"}}},
      {"positions off the screen are held at its edge",
       {{Touch(InputKind::TouchDown, 0, -3, 900), "down 0,599"},
        {Touch(InputKind::TouchMotion, 0, 2000, -1), "move 1023,0"},
        {Touch(InputKind::TouchUp, 0), "up 1023,0"}}},
      {"a tablet's button presses where it points",
       {{From(&tablet, InputKind::PointerAbsolute, 200, 100), "-"},
        {From(&tablet, InputKind::ButtonPressed), "down 200,100"},
        {From(&tablet, InputKind::PointerAbsolute, 210, 105), "move 210,105"},
        {From(&tablet, InputKind::ButtonReleased), "up 210,105"},
        {From(&tablet, InputKind::PointerAbsolute, 300, 300), "-"}}},
      {"a mouse moves the pointer from the middle, held inside the screen",
       {{From(&mouse, InputKind::PointerRelative, 10, -20), "-"},
        {From(&mouse, InputKind::ButtonPressed), "down 522,280"},
        {From(&mouse, InputKind::PointerRelative, 5000, 0), "move 1023,280"},
        {From(&mouse, InputKind::ButtonReleased), "up 1023,280"}}},
      {"a device that goes lifts the pen it holds, and only that",
       {{From(&tablet, InputKind::PointerAbsolute, 50, 60), "-"},
        {From(&tablet, InputKind::ButtonPressed), "down 50,60"},
        {From(&mouse, InputKind::DeviceRemoved), "-"},
        {From(&tablet, InputKind::DeviceRemoved), "up 50,60"},
        {From(&tablet, InputKind::ButtonReleased), "-"}}},
      {"a touch screen that goes mid-touch lifts the pen",
       {{Touch(InputKind::TouchDown, 0, 7, 8), "down 7,8"},
        {From(&touch_screen, InputKind::DeviceRemoved), "up 7,8"},
        {Touch(InputKind::TouchDown, 0, 9, 9), "down 9,9"}}},
      {"the finger and the button do not take the pen from each other",
       {{Touch(InputKind::TouchDown, 0, 1, 1), "down 1,1"},
        {From(&tablet, InputKind::ButtonPressed), "-"},
        {From(&tablet, InputKind::PointerAbsolute, 99, 99), "-"},
        {Touch(InputKind::TouchUp, 0), "up 1,1"},
        {From(&tablet, InputKind::ButtonReleased), "-"},
        {From(&tablet, InputKind::ButtonPressed), "down 99,99"},
        {Touch(InputKind::TouchDown, 0, 5, 5), "-"},
        {From(&mouse, InputKind::ButtonReleased), "-"},
        {From(&tablet, InputKind::ButtonReleased), "up 99,99"}}},
  };
  for (const Case& each : cases) {
    drm::PenTracker tracker;
    tracker.screen_width = 1024;
    tracker.screen_height = 600;
    tracker.pointer_x = 512;
    tracker.pointer_y = 300;
    for (std::size_t step = 0; step < each.steps.size(); ++step) {
      EXPECT_EQ(Text(drm::TrackPen(tracker, each.steps[step].event)), each.steps[step].pen)
          << each.name << ", step " << step;
    }
  }
}

}  // namespace
}  // namespace platform::display
