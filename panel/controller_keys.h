// The controller's key codes: it decides when the panel comes on screen, and most of its codes
// are answered with a packet. The heartbeat is declared beside them since both reach the
// controller from the main window's timers and messages.
#pragma once

#include "panel/heartbeat.h"

// WM_CONTROLLER_KEY: handles the code the link thread left in the ControllerKey mailbox.
void OnControllerKey();
