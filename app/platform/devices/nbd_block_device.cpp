// Link devices on a network block device server ("nbd://host:port", "nbd+unix:///?socket=PATH"),
// through libnbd's asynchronous calls. Start reading at OpenNbd. The connection is made at open,
// so a server that is not there fails the open; a server that goes away fails the next transfer.
//
// Nothing waits without a deadline: the link thread also drives the LCD and the heartbeat, and a
// server that stopped or a TCP connection that went half-open would otherwise hold it for good.
// A connect (with the NBD handshake) gets 1000 ms, a read or write 500 ms. Options after the URI
// in QUELT_LINK_DEVICES change them, as "key=value" entries like those of any other target:
//
//   nbd://10.0.0.2:10809,connect_timeout_ms=2000,transfer_timeout_ms=300
//
// (1 to 600000 each). They never reach libnbd, so they cannot collide with its query parameters.
// A transfer past its deadline fails like any failed transfer, and the connection is given up:
// the link layer then closes the handle and reopens the device, as after any failed transfer.
//
// Not covered: libnbd resolves a host name with a blocking getaddrinfo before connecting; name
// the controller by address (or in /etc/hosts) where the resolver may be slow.
#include <libnbd.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>

#include "platform/devices/devices.h"

namespace platform {
namespace {

// Deadlines run on the host's steady clock, not the platform's: in tests the platform's clock is
// virtual and jumps ahead whenever every thread waits, but a server's silence lasts real time.
using RealClock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

struct NbdTarget {
  std::string uri;
  Milliseconds connect_timeout{1000};
  Milliseconds transfer_timeout{500};
};

struct TimeoutOption {
  const char* key;
  Milliseconds NbdTarget::*timeout;
};

constexpr TimeoutOption TimeoutOptions[] = {
    {"connect_timeout_ms", &NbdTarget::connect_timeout},
    {"transfer_timeout_ms", &NbdTarget::transfer_timeout},
};

constexpr unsigned long LongestTimeoutMs = 600000;

struct NbdDevice {
  nbd_handle* nbd = nullptr;
  std::uint64_t sectors = 0;
  Milliseconds transfer_timeout;
  std::string uri;
  std::mutex lock;  // one transfer at a time drives the connection
  // A transfer ran out of time or lost the connection: its command may still be in flight and
  // point into the caller's buffer, so libnbd must never run this connection again. Only closing
  // is left.
  bool given_up = false;
};

// How waiting for the connection or a command ended.
enum class Outcome {
  Succeeded,
  Failed,     // settled with an error (libnbd's error says which); the connection may live on
  OutOfTime,  // still unsettled at the deadline
  Broken,     // the connection could not be driven further
};

// Whole decimal milliseconds, 1 to LongestTimeoutMs.
bool ParseTimeout(const std::string& text, Milliseconds* timeout) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long ms = std::strtoul(text.c_str(), nullptr, 10);  // saturates when too long
  if (ms < 1 || ms > LongestTimeoutMs) return false;
  *timeout = Milliseconds(ms);
  return true;
}

bool SetOption(const std::string& option, NbdTarget* target) {
  const std::size_t equals = option.find('=');
  if (equals == std::string::npos) return false;
  for (const TimeoutOption& known : TimeoutOptions) {
    if (option.compare(0, equals, known.key) == 0)
      return ParseTimeout(option.substr(equals + 1), &(target->*known.timeout));
  }
  return false;
}

// "URI[,key=value...]"; false, with a note, for an option it does not know.
bool ParseNbdTarget(const std::string& text, NbdTarget* target) {
  std::size_t end = text.find(',');
  target->uri = text.substr(0, end);
  while (end != std::string::npos) {
    const std::size_t start = end + 1;
    end = text.find(',', start);
    const std::string option = text.substr(start, end == std::string::npos ? end : end - start);
    if (!SetOption(option, target)) {
      NoteOnce("link device " + target->uri + ": option \"" + option +
               "\" is not connect_timeout_ms=N or transfer_timeout_ms=N (N from 1 to " +
               std::to_string(LongestTimeoutMs) + ")");
      return false;
    }
  }
  return true;
}

// Runs the connection's state machine until `settled` answers 1 (done) or -1 (failed). libnbd
// only moves when told the socket is ready, and it says which way it waits.
template <typename Settled>
Outcome RunUntil(nbd_handle* nbd, RealClock::time_point deadline, Settled settled) {
  for (;;) {
    const int state = settled();
    if (state != 0) return state > 0 ? Outcome::Succeeded : Outcome::Failed;
    const auto left = std::chrono::ceil<Milliseconds>(deadline - RealClock::now());
    if (left.count() <= 0) return Outcome::OutOfTime;
    const unsigned direction = nbd_aio_get_direction(nbd);
    pollfd socket = {nbd_aio_get_fd(nbd), 0, 0};
    if (direction & LIBNBD_AIO_DIRECTION_READ) socket.events |= POLLIN;
    if (direction & LIBNBD_AIO_DIRECTION_WRITE) socket.events |= POLLOUT;
    if (socket.fd == -1 || socket.events == 0) return Outcome::Broken;
    // A signal cuts the wait short; the next turn waits out what is left of the same deadline.
    const int ready = poll(&socket, 1, static_cast<int>(left.count()));
    if (ready == -1 && errno != EINTR) return Outcome::Broken;
    if (ready <= 0) continue;
    // A hang-up or error is news to whichever side libnbd waits on: the call finds the failure.
    const bool hung_up = socket.revents & (POLLHUP | POLLERR);
    int notified = 0;
    if ((direction & LIBNBD_AIO_DIRECTION_READ) && ((socket.revents & POLLIN) || hung_up)) {
      notified = nbd_aio_notify_read(nbd);
    } else if ((direction & LIBNBD_AIO_DIRECTION_WRITE) &&
               ((socket.revents & POLLOUT) || hung_up)) {
      notified = nbd_aio_notify_write(nbd);
    } else {
      return Outcome::Broken;
    }
    if (notified == -1) return Outcome::Broken;
  }
}

int ConnectionSettled(nbd_handle* nbd) {
  if (nbd_aio_is_ready(nbd) == 1) return 1;
  return nbd_aio_is_dead(nbd) == 1 || nbd_aio_is_closed(nbd) == 1 ? -1 : 0;
}

std::string LibnbdError() {
  const char* error = nbd_get_error();
  return error ? error : "connection lost";
}

void* OpenNbd(const char* text, int) {
  NbdTarget target;
  if (!ParseNbdTarget(text, &target)) return nullptr;
  nbd_handle* nbd = nbd_create();
  if (!nbd) return nullptr;
  const RealClock::time_point deadline = RealClock::now() + target.connect_timeout;
  Outcome outcome = Outcome::Broken;
  // Simple replies: a read's answer is one header and the data. A structured reply comes in
  // chunks that wake the waiting link thread once more for every poll, to no end: a transfer
  // moves all of its bytes or fails as a whole either way.
  nbd_set_request_structured_replies(nbd, false);
  if (nbd_aio_connect_uri(nbd, target.uri.c_str()) != -1) {
    outcome = RunUntil(nbd, deadline, [nbd] { return ConnectionSettled(nbd); });
  }
  const std::int64_t size = outcome == Outcome::Succeeded ? nbd_get_size(nbd) : -1;
  if (size < 0) {
    NoteOnce("cannot reach link device " + target.uri + ": " +
             (outcome == Outcome::OutOfTime
                  ? "no NBD server answered within " +
                        std::to_string(target.connect_timeout.count()) + " ms"
                  : LibnbdError()));
    nbd_close(nbd);
    return nullptr;
  }
  auto* device = new NbdDevice;
  device->nbd = nbd;
  device->sectors = static_cast<std::uint64_t>(size) / BlockSectorBytes;
  device->transfer_timeout = target.transfer_timeout;
  device->uri = target.uri;
  return device;
}

std::uint64_t NbdSectorCount(void* device) { return static_cast<NbdDevice*>(device)->sectors; }

// An NBD transfer moves all of its bytes or none. `issue` starts the command and answers its
// cookie, or -1.
template <typename Issue>
bool Transfer(void* opened, std::uint32_t bytes, std::uint32_t* bytes_moved, Issue issue) {
  auto* device = static_cast<NbdDevice*>(opened);
  std::lock_guard<std::mutex> hold(device->lock);
  *bytes_moved = 0;
  if (device->given_up) return false;
  const RealClock::time_point deadline = RealClock::now() + device->transfer_timeout;
  const std::int64_t cookie = issue(device->nbd);
  if (cookie == -1) return false;
  const Outcome outcome = RunUntil(device->nbd, deadline, [device, cookie] {
    return nbd_aio_command_completed(device->nbd, static_cast<std::uint64_t>(cookie));
  });
  if (outcome == Outcome::OutOfTime || outcome == Outcome::Broken) {
    device->given_up = true;
    if (outcome == Outcome::OutOfTime) {
      NoteOnce("link device " + device->uri + " did not answer a transfer within " +
               std::to_string(device->transfer_timeout.count()) + " ms; reconnecting");
    }
  }
  if (outcome != Outcome::Succeeded) return false;
  *bytes_moved = bytes;
  return true;
}

bool ReadNbd(void* device, std::uint64_t first_sector, std::uint32_t sectors, std::uint8_t* data,
             std::uint32_t* bytes_moved) {
  const std::uint32_t bytes = sectors * BlockSectorBytes;
  return Transfer(device, bytes, bytes_moved, [&](nbd_handle* nbd) {
    return nbd_aio_pread(nbd, data, bytes, first_sector * BlockSectorBytes,
                         nbd_completion_callback{}, 0);
  });
}

bool WriteNbd(void* device, std::uint64_t first_sector, std::uint32_t sectors,
              const std::uint8_t* data, std::uint32_t* bytes_moved) {
  const std::uint32_t bytes = sectors * BlockSectorBytes;
  return Transfer(device, bytes, bytes_moved, [&](nbd_handle* nbd) {
    return nbd_aio_pwrite(nbd, data, bytes, first_sector * BlockSectorBytes,
                          nbd_completion_callback{}, 0);
  });
}

// nbd_close drops the socket without NBD's goodbye (nbd_shutdown would wait for the server's
// answer), so closing returns at once even with a command in flight to a server that stopped.
void CloseNbd(void* device) {
  auto* opened = static_cast<NbdDevice*>(device);
  nbd_close(opened->nbd);
  delete opened;
}

}  // namespace

const BlockDeviceBackend NbdBlockDevice = {OpenNbd, NbdSectorCount, ReadNbd, WriteNbd, CloseNbd};

}  // namespace platform
