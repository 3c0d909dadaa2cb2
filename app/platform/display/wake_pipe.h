// The pipe that ends a display thread's poll from any thread: a backend that waits on its host's
// descriptors polls the read end beside them, and its wake writes one byte.
#pragma once

namespace platform::display {

struct WakePipe {
  int read_end = -1;
  int write_end = -1;
};

// Both ends non-blocking and closed on exec; false when the pipe cannot be made.
bool OpenWakePipe(WakePipe* pipe);
// From any thread. A wake that comes before the poll ends it at once.
void SendWake(const WakePipe& pipe);
// Takes every wake sent so far, once the poll found the read end ready.
void DrainWakePipe(const WakePipe& pipe);

}  // namespace platform::display
