// The requests of a later start to the session's claim holder, over the claim's socket: find a
// top-level window by class and title, and bring one to the front. Each request has a connection
// of its own and a deadline, so a holder that hangs costs a second start a moment, never its end;
// a connection refused (a queue that strangers keep full) is tried again a few times.
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/desktop/session.h"
#include "platform/internal/module_interfaces.h"

namespace platform::desktop {
namespace {

// A running holder answers within microseconds; one stopped in a debugger fails the lookup.
constexpr int kAnswerDeadlineMs = 500;
// Connecting again after a refusal: a few times, a moment apart; after a full queue, at once
// for this long.
constexpr int kConnectAttempts = 5;
constexpr int kConnectPauseMs = 50;
constexpr std::chrono::milliseconds kFullQueuePatience{3000};
// The holder reads a request that is already on its way.
constexpr int kRequestDeadlineMs = 200;

// The holder's windows get handles of their own here: even, far above any handle of ours and just
// below the X11 desktop's tag (a handle's top bit), on a 32-bit host as on a 64-bit one.
constexpr std::uintptr_t kSessionWindowTag = std::uintptr_t{1} << (sizeof(std::uintptr_t) * 8 - 2);

void SetDeadline(int socket, int ms) {
  const timeval limit{ms / 1000, (ms % 1000) * 1000};
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

// False when the name does not fit; a null name stays out of the request (FindWindowW's "any").
bool PutName(LPCWSTR name, std::uint32_t given_bit, char16_t (&field)[kSessionNameChars],
             std::uint32_t* given) {
  if (!name) return true;
  const std::size_t length = std::char_traits<char16_t>::length(name);
  if (length >= kSessionNameChars) return false;
  std::copy(name, name + length + 1, field);
  *given |= given_bit;
  return true;
}

// A connection to the claim's holder, when one of our own user's listens on it; -1 otherwise.
// Connecting does not wait in the kernel: a queue that strangers keep full frees a place with
// every connection the holder takes, and a waiting connect is not woken for it, so a full queue is
// tried again at once, until the patience runs out. A refusal (a holder between its bind and its
// listen, or a stranger's socket that does not listen) is tried again a few times, a moment apart.
int ConnectToHolder() {
  sockaddr_un address;
  const socklen_t length = ClaimAddress(&address);
  const auto patience = std::chrono::steady_clock::now() + kFullQueuePatience;
  int refusals = 0;
  for (;;) {
    const int socket = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0) return -1;
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
      if (PeerIsOurUser(socket) && fcntl(socket, F_SETFL, 0) == 0) {
        SetDeadline(socket, kAnswerDeadlineMs);
        return socket;
      }
      close(socket);
      return -1;
    }
    const int error = errno;
    close(socket);
    if (error == EAGAIN && std::chrono::steady_clock::now() < patience) {
      sched_yield();
    } else if (error == ECONNREFUSED && ++refusals < kConnectAttempts) {
      poll(nullptr, 0, kConnectPauseMs);
    } else if (error != EINTR) {
      return -1;
    }
  }
}

bool Ask(const SessionRequest& request, SessionAnswer* answer) {
  const int socket = ConnectToHolder();
  if (socket < 0) return false;
  const bool answered = send(socket, &request, sizeof request, MSG_NOSIGNAL) == sizeof request &&
                        recv(socket, answer, sizeof *answer, MSG_TRUNC) == sizeof *answer;
  close(socket);
  return answered;
}

// The holder's side of Foreground: only a top-level window of its own, never a handle that
// merely looks like one. The line on stderr tells an integrator that a second start happened.
std::uint64_t BringForward(HWND window) {
  WindowInfo info{};
  if (!DescribeWindow(window, &info) || !info.top_level) return FALSE;
  const BOOL raised = SetForegroundWindow(info.handle);
  std::fprintf(stderr, "quelt: another start asked for \"%s\" to come to the front: %s\n",
               Utf8FromWide(info.title).c_str(),
               raised ? "brought to the front" : "not shown, left where it is");
  return raised;
}

std::uint64_t Answer(SessionRequest& request) {
  // Names from the wire end within their fields, whatever the sender wrote.
  request.class_name[kSessionNameChars - 1] = 0;
  request.title[kSessionNameChars - 1] = 0;
  switch (request.kind) {
    case SessionRequestKind::FindWindow:
      return reinterpret_cast<std::uintptr_t>(
          FindOwnWindow(request.given & kClassGiven ? request.class_name : nullptr,
                        request.given & kTitleGiven ? request.title : nullptr));
    case SessionRequestKind::Foreground:
      return BringForward(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(request.window)));
  }
  return 0;
}

}  // namespace

// Any user of the host may bind an abstract name or connect to one; only our own user counts.
bool PeerIsOurUser(int socket) {
  ucred peer{};
  socklen_t length = sizeof peer;
  return getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == geteuid();
}

bool HolderIsOurUser() {
  const int socket = ConnectToHolder();
  if (socket < 0) return false;
  close(socket);
  return true;
}

HWND FindSessionWindow(LPCWSTR class_name, LPCWSTR title) {
  if (!AnotherProcessHoldsTheClaim()) return nullptr;
  SessionRequest request{};
  request.kind = SessionRequestKind::FindWindow;
  if (!PutName(class_name, kClassGiven, request.class_name, &request.given) ||
      !PutName(title, kTitleGiven, request.title, &request.given)) {
    return nullptr;
  }
  SessionAnswer answer{};
  if (!Ask(request, &answer)) return nullptr;
  // A handle of the holder's: even, non-zero and untagged.
  if (answer.value == 0 || (answer.value & 1) || answer.value >= kSessionWindowTag) return nullptr;
  return reinterpret_cast<HWND>(kSessionWindowTag | static_cast<std::uintptr_t>(answer.value));
}

bool IsSessionWindow(HWND window) {
  const auto value = reinterpret_cast<std::uintptr_t>(window);
  return (value & ~(kSessionWindowTag - 1)) == kSessionWindowTag;
}

BOOL ForegroundSessionWindow(HWND window) {
  SessionRequest request{};
  request.kind = SessionRequestKind::Foreground;
  request.window = reinterpret_cast<std::uintptr_t>(window) & ~kSessionWindowTag;
  SessionAnswer answer{};
  return Ask(request, &answer) && answer.value != 0 ? TRUE : FALSE;
}

void AnswerRequest(int connection) {
  SetDeadline(connection, kRequestDeadlineMs);
  SessionRequest request;
  if (recv(connection, &request, sizeof request, MSG_TRUNC) != sizeof request) return;
  const SessionAnswer answer{Answer(request)};
  send(connection, &answer, sizeof answer, MSG_NOSIGNAL);
}

}  // namespace platform::desktop
