// Controller keys and the heartbeat are entered through the main window's dispatch table; their
// replies and the window's visibility come with the key-event work.
#include "panel/controller_keys.h"

void OnControllerKey() {}
void OnHeartbeat() {}
