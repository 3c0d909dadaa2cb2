// The four display preferences that touches change (and the settings file keeps). Each change
// has the LCD area of the panel redrawn.
#pragma once

// The AUX label of the top bar: lit (0) or dimmed (1).
void ToggleAuxFlag();
// The USB indicator: USB AUDIO (0) or USB NAVI (1). Switching back to USB AUDIO restarts the
// heartbeat count so the controller hears of it.
void ToggleUsbFlag();
// The compact view's LCD colour: 0, 1, 2, 3, 4, then 0 again.
void AdvanceLcdColour();
// The full panel's LCD pixels: dotted (0) or solid (1).
void ToggleLcdFillStyle();
