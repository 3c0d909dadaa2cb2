// The button lamps against the panel picture: drawing a lamp's released frame must leave the
// panel exactly as it was, for every ButtonId, and the pressed frame must visibly light it.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "decoded_bitmap.h"
#include "panel/lamp_table.h"

namespace {

const UINT SpriteIds[] = {190, 191, 192, 194};

int Brightness(Pixel pixel) { return std::max({pixel.r, pixel.g, pixel.b}); }

TEST(ButtonLamps, ReleasedFrameEqualsThePanelUnderEveryLamp) {
  const DecodedBitmap panel = DecodeResourceBitmap(188);
  ASSERT_TRUE(panel.loaded);
  for (int button = 1; button <= ButtonLampCount; ++button) {
    SCOPED_TRACE("ButtonId " + std::to_string(button));
    const ButtonLamp* lamp = LampOfButton(button);
    ASSERT_NE(lamp, nullptr);
    const DecodedBitmap sprite = DecodeResourceBitmap(lamp->bitmap);
    ASSERT_TRUE(sprite.loaded);
    int differing = 0;
    for (int y = 0; y < LampFrameHeight; ++y) {
      for (int x = 0; x < LampFrameWidth; ++x) {
        const Pixel released = sprite.At(LampReleasedFrameX + x, y);
        const Pixel under = panel.At(lamp->x + x, lamp->y + y);
        if (!(released == under) && differing++ == 0) {
          ADD_FAILURE() << "first difference at frame pixel (" << x << ", " << y << "): released "
                        << released << ", panel " << under;
        }
      }
    }
    EXPECT_EQ(differing, 0);
  }
}

TEST(ButtonLamps, PressedFrameLightsTheLamp) {
  for (UINT id : SpriteIds) {
    SCOPED_TRACE("sprite " + std::to_string(id));
    const DecodedBitmap sprite = DecodeResourceBitmap(id);
    ASSERT_TRUE(sprite.loaded);
    int pressed = 0;
    int released = 0;
    for (int y = 0; y < LampFrameHeight; ++y) {
      for (int x = 0; x < LampFrameWidth; ++x) {
        pressed = std::max(pressed, Brightness(sprite.At(LampPressedFrameX + x, y)));
        released = std::max(released, Brightness(sprite.At(LampReleasedFrameX + x, y)));
      }
    }
    EXPECT_GE(pressed, 230);
    EXPECT_LE(released, 160);
  }
}

// The unlit spot takes the colour of the panel around it: red on the preset bar, dark elsewhere.
TEST(ButtonLamps, PresetLampsSitOnRedAndTheOthersOnDarkGrey) {
  for (UINT id : SpriteIds) {
    SCOPED_TRACE("sprite " + std::to_string(id));
    const DecodedBitmap sprite = DecodeResourceBitmap(id);
    ASSERT_TRUE(sprite.loaded);
    const Pixel surround = sprite.At(LampReleasedFrameX, 0);
    if (id == 190) {
      EXPECT_GT(surround.r, 120);
      EXPECT_LT(surround.g * 2, surround.r);
      EXPECT_LT(surround.b * 2, surround.r);
    } else {
      EXPECT_LT(Brightness(surround), 80);
    }
  }
}

TEST(LampTable, FindsEveryButtonByItsIdAndNothingElse) {
  for (int button = 1; button <= ButtonLampCount; ++button) {
    ASSERT_NE(LampOfButton(button), nullptr);
    EXPECT_EQ(LampOfButton(button)->button_id, button);
  }
  for (int outside : {0, -1, ButtonLampCount + 1, 1 << 30}) {
    EXPECT_EQ(LampOfButton(outside), nullptr) << outside;
  }
}

// Lamps are drawn straight onto the screen; an overlapping pair would put out part of the other.
TEST(LampTable, LampsLieOnScreenWithoutOverlapping) {
  for (const ButtonLamp& lamp : ButtonLamps) {
    SCOPED_TRACE("ButtonId " + std::to_string(lamp.button_id));
    EXPECT_GE(lamp.x, 0);
    EXPECT_GE(lamp.y, 0);
    EXPECT_LE(lamp.x + LampFrameWidth, 800);
    EXPECT_LE(lamp.y + LampFrameHeight, 480);
    EXPECT_NE(std::find(std::begin(SpriteIds), std::end(SpriteIds), lamp.bitmap),
              std::end(SpriteIds));
    for (const ButtonLamp& other : ButtonLamps) {
      if (&other == &lamp) continue;
      const bool apart = other.x >= lamp.x + LampFrameWidth || lamp.x >= other.x + LampFrameWidth ||
                         other.y >= lamp.y + LampFrameHeight || lamp.y >= other.y + LampFrameHeight;
      EXPECT_TRUE(apart) << "overlaps ButtonId " << other.button_id;
    }
  }
}

}  // namespace
