// The floor under the panel's poll cycle: what three wake-ups a poll cost on this machine with no
// work between them. One thread waits out a 50 ms timer, reads the ten stream sectors over NBD
// (waking the server and sleeping until its answer) and wakes a second thread, which goes back
// to sleep at once: the panel's link thread and main thread with the frame assembly, the
// refresh, the recorder and the message queues taken out. scripts/bench measures its CPU beside
// the panel's, against the same simulator, so that the panel's figure reads as a multiple of it.
//
//   poll_floor NBD_URI      (runs until killed)
#include <libnbd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

constexpr std::uint64_t StreamOffset = 627 * 512;
constexpr std::size_t StreamBytes = 10 * 512;
constexpr auto PollInterval = std::chrono::milliseconds(50);

std::mutex Lock;
std::condition_variable PollTimer;  // never notified: the timed wait is the timer
std::condition_variable RefreshWanted;
int RefreshesPosted = 0;

void PollThread(nbd_handle* nbd) {
  static char stream[StreamBytes];
  auto next = std::chrono::steady_clock::now();
  for (;;) {
    next += PollInterval;
    {
      std::unique_lock<std::mutex> hold(Lock);
      PollTimer.wait_until(hold, next);
    }
    if (nbd_pread(nbd, stream, StreamBytes, StreamOffset, 0) == -1) {
      std::fprintf(stderr, "poll_floor: %s\n", nbd_get_error());
      std::exit(1);
    }
    {
      std::lock_guard<std::mutex> hold(Lock);
      ++RefreshesPosted;
    }
    RefreshWanted.notify_one();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: poll_floor NBD_URI\n");
    return 2;
  }
  nbd_handle* nbd = nbd_create();
  // As the panel connects: simple replies, one header and the data.
  if (nbd == nullptr || nbd_set_request_structured_replies(nbd, false) == -1 ||
      nbd_connect_uri(nbd, argv[1]) == -1) {
    std::fprintf(stderr, "poll_floor: %s\n", nbd_get_error());
    return 1;
  }
  std::thread(PollThread, nbd).detach();
  std::unique_lock<std::mutex> hold(Lock);
  for (;;) {
    RefreshWanted.wait(hold, [] { return RefreshesPosted > 0; });
    RefreshesPosted = 0;
  }
}
