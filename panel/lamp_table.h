// The button lamps of the full front panel: for each ButtonId the ButtonSprite that holds its
// lamp and where the lamp sits on screen. The touch panel draws lamps from this table, and the
// picture generator stamps each lamp's unlit frame into the panel picture at the same places, so
// that drawing a released lamp leaves the panel exactly as it was.
#pragma once

struct ButtonLamp {
  int button_id;  // 1 to 29
  int bitmap;     // resource id of the 64 x 12 ButtonSprite
  int x;          // top-left corner on screen
  int y;
};

constexpr int ButtonLampCount = 29;

// A ButtonSprite holds two frames of 32 x 12 side by side: the lit lamp, then the unlit spot.
constexpr int LampFrameWidth = 32;
constexpr int LampFrameHeight = 12;
constexpr int LampPressedFrameX = 0;
constexpr int LampReleasedFrameX = 32;

// Ordered by ButtonId: entry i is ButtonId i + 1.
extern const ButtonLamp ButtonLamps[ButtonLampCount];

// The lamp of a ButtonId, or null for 0 (no button) and for any id outside 1 to 29.
const ButtonLamp* LampOfButton(int button_id);
