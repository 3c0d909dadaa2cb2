// The heartbeat: every 400 ms the controller may hear whether the panel is in front and which
// USB and AUX settings it shows; only the first three ticks after each reset of the count send.
#pragma once

// WM_TIMER TIMER_HEARTBEAT.
void OnHeartbeat();
