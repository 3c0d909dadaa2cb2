// A scripted finger for the tests that run the panel through a minute of virtual time: each touch
// goes down at its time and comes up after its hold, as the display would deliver them.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "platform/testing_display.h"

struct ScriptedTouch {
  std::int64_t at_ms;  // from the start of the program
  int x, y;
  std::int64_t hold_ms;
};

struct PenScript {
  const ScriptedTouch* touches;
  std::size_t count;
  std::size_t next = 0;
  std::int64_t release_at = -1;
  int held_x = 0, held_y = 0;
};

// Lifts the held touch and presses the next one when their times come; call once per sample.
inline void PlayPenScript(PenScript& script, std::int64_t now) {
  using platform::testing::InjectPen;
  using platform::testing::Pen;
  if (now == script.release_at) {
    EXPECT_TRUE(InjectPen(Pen::Up, script.held_x, script.held_y)) << "at " << now << " ms";
    script.release_at = -1;
  }
  if (script.next < script.count && script.touches[script.next].at_ms == now) {
    const ScriptedTouch& touch = script.touches[script.next++];
    EXPECT_TRUE(InjectPen(Pen::Down, touch.x, touch.y)) << "at " << now << " ms";
    script.held_x = touch.x;
    script.held_y = touch.y;
    script.release_at = now + touch.hold_ms;
  }
}
