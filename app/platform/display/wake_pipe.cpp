// The display thread's wake pipe.
#include "platform/display/wake_pipe.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform::display {

bool OpenWakePipe(WakePipe* pipe) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  pipe->read_end = ends[0];
  pipe->write_end = ends[1];
  return true;
}

void SendWake(const WakePipe& pipe) {
  const char byte = 1;
  // A full pipe already holds a wake.
  [[maybe_unused]] const ssize_t written = write(pipe.write_end, &byte, 1);
}

void DrainWakePipe(const WakePipe& pipe) {
  // More wakes than this leave the pipe ready, and the next poll ends at once to take them.
  char bytes[64];
  [[maybe_unused]] const ssize_t taken = read(pipe.read_end, bytes, sizeof bytes);
}

}  // namespace platform::display
