// The controller's key codes and the heartbeat that tells the controller whether the panel is in
// front.
#pragma once

void OnControllerKey();
void OnHeartbeat();
