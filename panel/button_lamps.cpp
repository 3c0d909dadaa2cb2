// Drawing the lamps of the lamp table: each ButtonSprite holds the lit frame at source x 0 and
// the unlit frame at source x 32.
#include "panel/button_lamps.h"

#include "app/panel_state.h"
#include "panel/lamp_table.h"

struct SpriteContext {
  int bitmap;
  HDC PanelState::*dc;  // the memory context that start-up loaded the sprite into
};

static const SpriteContext SpriteContexts[] = {
    {190, &PanelState::PresetLampsDc},
    {191, &PanelState::KeyRowLampsDc},
    {192, &PanelState::SideKeyLampsDc},
    {194, &PanelState::TopBarLampsDc},
};

static HDC ContextOfSprite(int bitmap) {
  for (const SpriteContext& sprite : SpriteContexts) {
    if (sprite.bitmap == bitmap) return Panel.*sprite.dc;
  }
  return nullptr;
}

static void DrawLampFrame(HDC dc, int frame_x) {
  const ButtonLamp* lamp = LampOfButton(Panel.ButtonId);
  if (!lamp) return;
  BitBlt(dc, lamp->x, lamp->y, LampFrameWidth, LampFrameHeight, ContextOfSprite(lamp->bitmap),
         frame_x, 0, SRCCOPY);
}

void DrawButtonPressed(HDC dc) { DrawLampFrame(dc, LampPressedFrameX); }

void DrawButtonReleased(HDC dc) {
  DrawLampFrame(dc, LampReleasedFrameX);
  Panel.ButtonId = 0;
}
