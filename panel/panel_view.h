// The two views of the main window: the full front panel and the compact view with the small LCD
// over the storage card's background picture.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// The pause between the repaint and the LCD refresh: the usual one, and the shorter one when a
// touch brings the full panel back from the compact view.
constexpr DWORD ViewSwitchPauseMs = 200;
constexpr DWORD LeaveCompactViewPauseMs = 50;

// The view a toggle switches to: compact from the full panel, full panel from anything else.
std::uint8_t OtherPanelMode();
// Sets PanelMode, has the whole window repainted for it, waits pause_ms and then has the LCD area
// refreshed. The main thread blocks during the pause.
void SwitchPanelMode(std::uint8_t mode, DWORD pause_ms);
