// The regions of the panel picture in the order they are tried; the first region that holds the
// pen position applies, and a position in no region only lights the lamp already lit. The table
// leaves deliberate dead strips between neighbouring buttons, so a finger on the seam sends
// nothing. Start reading at HitTestPanel.
#include "panel/hit_map.h"

#include <cstdint>
#include <limits>

#include "app/drawing_objects.h"
#include "app/panel_state.h"
#include "link/command_queue.h"
#include "panel/button_lamps.h"
#include "panel/display_preferences.h"
#include "panel/packet_values.h"
#include "panel/panel_view.h"

namespace {

struct HitRegion;
using TouchAction = void (*)(const HitRegion& region, CommandPacket& packet);

struct HitRegion {
  std::uint32_t left, right, top, bottom;  // inclusive, window coordinates
  int button_id;                           // lamp lit by a touch here, or KeepButton
  TouchAction touch;                       // null: only the lamp
  std::uint8_t key_high, key_low;          // key pattern (bytes 6 and 7) for QueueKeyPattern
  const char* name;                        // for people reading recordings
};

constexpr int KeepButton = -1;
// POWER reaches down past the bottom of the screen: a pen position is any 16-bit value.
constexpr std::uint32_t OpenEnd = std::numeric_limits<std::uint32_t>::max();

constexpr std::uint8_t EjectCode = 0x42;
// Byte 5 beside an arrow code: 2 when the finger moved over from the other arrow of the pair,
// 1 for the same arrow again or the first touch of the pair.
constexpr std::uint8_t ArrowSameStep = 0x01;
constexpr std::uint8_t ArrowReversedStep = 0x02;

// The cross at the top right of the panel picture marks this corner.
constexpr std::uint32_t ExitCornerMinX = 771;
constexpr std::uint32_t ExitCornerMaxY = 29;

// The VOL and FILE arrows: each pair remembers which of its arrows was touched last.
struct ArrowKey {
  int button_id;
  int code_byte;
  std::uint8_t code;
  int partner_button;
  std::int32_t PanelState::*last_button;
};

const ArrowKey ArrowKeys[] = {
    {8, CommandByteVolumeArrow, VolumeUpCode, 9, &PanelState::LastVolumeButton},    // VOL up
    {9, CommandByteVolumeArrow, VolumeDownCode, 8, &PanelState::LastVolumeButton},  // VOL down
    {10, CommandByteFileArrow, 0x22, 11, &PanelState::LastFileButton},              // FILE up
    {11, CommandByteFileArrow, 0x44, 10, &PanelState::LastFileButton},              // FILE down
};

void QueueKeyPattern(const HitRegion& region, CommandPacket& packet) {
  packet[CommandByteKeyPatternHigh] = region.key_high;
  packet[CommandByteKeyPatternLow] = region.key_low;
  QueueCommand(packet);
}

void QueueArrow(const HitRegion& region, CommandPacket& packet) {
  for (const ArrowKey& arrow : ArrowKeys) {
    if (arrow.button_id != region.button_id) continue;
    std::int32_t& last_button = Panel.*arrow.last_button;
    packet[arrow.code_byte] = arrow.code;
    packet[CommandByteArrowStep] =
        last_button == arrow.partner_button ? ArrowReversedStep : ArrowSameStep;
    last_button = arrow.button_id;
    QueueCommand(packet);
    return;
  }
}

void QueueEject(const HitRegion&, CommandPacket& packet) {
  packet[CommandByteEject] = EjectCode;
  QueueCommand(packet);
}

void TouchAuxIndicator(const HitRegion&, CommandPacket&) { ToggleAuxFlag(); }
void TouchUsbIndicator(const HitRegion&, CommandPacket&) { ToggleUsbFlag(); }
void TouchColourSegment(const HitRegion&, CommandPacket&) { AdvanceLcdColour(); }
void TouchLcdWindow(const HitRegion&, CommandPacket&) { ToggleLcdFillStyle(); }
void TouchScreenButton(const HitRegion&, CommandPacket&) {
  SwitchPanelMode(OtherPanelMode(), ViewSwitchPauseMs);
}

const HitRegion HitRegions[] = {
    {0, 119, 431, OpenEnd, 1, QueueKeyPattern, 0x10, 0x80, "POWER"},
    {121, 199, 296, 344, 2, QueueKeyPattern, 0x10, 0x40, "preset 1"},
    {201, 299, 296, 344, 3, QueueKeyPattern, 0x10, 0x20, "preset 2"},
    {301, 399, 296, 344, 4, QueueKeyPattern, 0x10, 0x10, "preset 3"},
    {401, 499, 296, 344, 5, QueueKeyPattern, 0x20, 0x10, "preset 4"},
    {501, 599, 296, 344, 6, QueueKeyPattern, 0x20, 0x20, "preset 5"},
    {601, 699, 296, 344, 7, QueueKeyPattern, 0x20, 0x40, "preset 6"},
    {101, 169, 361, 419, 8, QueueArrow, 0, 0, "VOL up (right arrow)"},
    {16, 99, 361, 419, 9, QueueArrow, 0, 0, "VOL down (left arrow)"},
    {601, 670, 361, 419, 10, QueueArrow, 0, 0, "FILE up (right arrow)"},
    {532, 599, 361, 419, 11, QueueArrow, 0, 0, "FILE down (left arrow)"},
    {171, 239, 361, 419, 12, QueueKeyPattern, 0x20, 0x08, "SEEK down (left arrow)"},
    {241, 311, 361, 419, 13, QueueKeyPattern, 0x10, 0x01, "SEEK up (right arrow)"},
    {391, 459, 361, 419, 14, QueueKeyPattern, 0x00, 0x20, "FOLDER down (left arrow)"},
    {461, 530, 361, 419, 15, QueueKeyPattern, 0x00, 0x10, "FOLDER up (right arrow)"},
    {313, 389, 361, 419, 16, QueueKeyPattern, 0x00, 0x80, "SCAN"},
    {721, 799, 81, 141, 17, QueueKeyPattern, 0x10, 0x02, "AUX"},
    {721, 799, 143, 224, 18, QueueKeyPattern, 0x00, 0x40, "INFO"},
    {721, 799, 226, 301, 19, QueueKeyPattern, 0x00, 0x08, "SETUP"},
    {1, 79, 226, 301, 20, QueueKeyPattern, 0x20, 0x04, "CD"},
    {1, 79, 81, 141, 21, QueueKeyPattern, 0x10, 0x08, "FM"},
    {1, 79, 143, 224, 22, QueueKeyPattern, 0x10, 0x04, "AM"},
    {651, 739, 1, 79, 23, QueueKeyPattern, 0x00, 0x04, "BSM"},
    {546, 644, 1, 79, 24, QueueEject, 0, 0, "EJECT"},
    {51, 149, 1, 79, 25, nullptr, 0, 0, "NAVI: acts at pen-up"},
    {151, 249, 1, 49, 26, TouchAuxIndicator, 0, 0, "AUX indicator"},
    {251, 349, 1, 49, 27, TouchUsbIndicator, 0, 0, "USB indicator"},
    {351, 449, 1, 49, 29, TouchColourSegment, 0, 0, "empty segment: LCD colour"},
    {451, 544, 1, 49, KeepButton, TouchScreenButton, 0, 0, "SCREEN"},
    // Of this region only x = 350, the seam after the USB indicator, is left: it lights the USB
    // indicator's lamp and does nothing else.
    {349, 449, 1, 49, 27, nullptr, 0, 0, "seam after the USB indicator"},
    {672, 779, 361, 419, 28, QueueKeyPattern, 0x20, 0x80, "ENTER"},
    {201, 599, 101, 249, KeepButton, TouchLcdWindow, 0, 0, "middle of the LCD window"},
};

const HitRegion* RegionAt(std::uint32_t x, std::uint32_t y) {
  for (const HitRegion& region : HitRegions) {
    if (x >= region.left && x <= region.right && y >= region.top && y <= region.bottom) {
      return &region;
    }
  }
  return nullptr;
}

}  // namespace

const char* HitRegionName(std::uint32_t x, std::uint32_t y) {
  if (x >= ExitCornerMinX && y <= ExitCornerMaxY) return "exit corner";
  const HitRegion* region = RegionAt(x, y);
  return region ? region->name : "no region";
}

namespace {

// The exit corner lies in no region: a touch there ends the program once the lamp is drawn. The
// window stays; a repeat tick that comes before the quit finds nothing left to release.
void EndAtExitCorner() {
  if (Panel.PenX < ExitCornerMinX || Panel.PenY > ExitCornerMaxY) return;
  ReleaseDrawingObjects();
  PostQuitMessage(0);
}

}  // namespace

void HitTestPanel(HDC dc) {
  CommandPacket packet = BlankCommandPacket;
  packet[CommandByteTag] = static_cast<std::uint8_t>(Panel.TouchPacketTag);
  if (const HitRegion* region = RegionAt(Panel.PenX, Panel.PenY)) {
    if (region->button_id != KeepButton) Panel.ButtonId = region->button_id;
    if (region->touch) region->touch(*region, packet);
  }
  DrawButtonPressed(dc);
  EndAtExitCorner();
}
