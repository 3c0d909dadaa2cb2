// Joining the user's desktop session: the claim that makes one process of a program the running
// instance, and the holder's session thread, which answers the later starts' requests and turns
// stop signals into the close of the joining thread's windows.
//
// The claim is an abstract Unix socket named after the program and the user id rather than a lock
// file: a later start touches no file at all, the kernel frees the name with the process (no
// stale lock after a crash or a power cut), the one socket both decides who runs and carries the
// requests to it, and a service without a login session (no XDG_RUNTIME_DIR, a private /tmp) and
// the same user's login session meet on the one name. Abstract names have no permissions, so the
// holder's credentials decide: a name held by another user is never taken for a running instance.
// Start reading at JoinDesktopSession.
#include "platform/desktop/session.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#include "platform/desktop_session.h"
#include "platform/internal/module_interfaces.h"

namespace platform::desktop {
namespace {

// Connections waiting to be accepted. Any user may connect, and the holder drops a stranger's
// connection at once; a later start that finds the queue full tries again at once. The queue is
// short on purpose: under a flood of strangers' connections a later start's request waits behind
// every connection queued before it, and behind thousands it missed its answer's deadline.
constexpr int kPendingConnections = 16;
// A name in use is looked at this many times before it counts as held by a stranger: between its
// bind and its listen a starting holder refuses connections, and a flooded one may not answer.
constexpr int kClaimLooks = 3;
constexpr int kClaimLookPauseMs = 100;
// With no descriptor left for a connection, the session thread waits this long before it tries
// to accept again, rather than spinning on a queue it cannot empty.
constexpr int kNoDescriptorPauseMs = 100;
// How often a stop that came before the joining thread's first window looks for it again.
constexpr int kStopRetryMs = 20;

// Written by JoinDesktopSession before the session thread exists; read-only afterwards. Nothing
// here has a destructor, so a thread still running at exit never sees it torn down.
struct Session {
  bool claim_elsewhere = false;
  sockaddr_un claim_address{};
  socklen_t claim_length = 0;
  std::thread::id joining_thread;
};
Session session;

// Set by the session thread at the first stop signal, for what waits before the main window
// exists (a display not up yet) and so could not be closed.
std::atomic<bool> stop_requested{false};

// Abstract names are shared by every user of the host's network namespace; the user id keeps
// users apart. QUELT_INSTANCE_SCOPE, when set, names a separate scope of the same user's (tests
// that run several instances side by side). A name too long for the address keeps its end.
void NameTheClaim(const char* program) {
  const char* scope = std::getenv("QUELT_INSTANCE_SCOPE");
  std::string name = std::string(1, '\0') + program + " uid " +
                     std::to_string(static_cast<unsigned>(geteuid())) +
                     (scope && *scope ? std::string(" ") + scope : std::string());
  const std::size_t room = sizeof session.claim_address.sun_path;
  if (name.size() > room) name = std::string(1, '\0') + name.substr(name.size() - (room - 1));
  session.claim_address.sun_family = AF_UNIX;
  std::memcpy(session.claim_address.sun_path, name.data(), name.size());
  session.claim_length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
}

enum class Claim { Held, HeldElsewhere, HeldByStranger, Unavailable };

// Binding the name is the claim: the kernel lets one socket at a time have it, and releases it
// when the process ends, however it ends.
Claim BindClaim(int* listener) {
  const int socket = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (socket < 0) return Claim::Unavailable;
  const auto* address = reinterpret_cast<const sockaddr*>(&session.claim_address);
  if (bind(socket, address, session.claim_length) == 0 &&
      listen(socket, kPendingConnections) == 0) {
    *listener = socket;
    return Claim::Held;
  }
  const int error = errno;
  close(socket);
  errno = error;
  return error == EADDRINUSE ? Claim::HeldElsewhere : Claim::Unavailable;
}

// A name in use counts only when a process of our own user listens on it.
Claim TakeClaim(int* listener) {
  Claim claim = Claim::Unavailable;
  for (int look = 0; look < kClaimLooks; ++look) {
    if (look > 0) poll(nullptr, 0, kClaimLookPauseMs);
    claim = BindClaim(listener);
    if (claim != Claim::HeldElsewhere) return claim;
    if (HolderIsOurUser()) return Claim::HeldElsewhere;
    claim = Claim::HeldByStranger;
  }
  return claim;
}
sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGHUP);
  return signals;
}

// The windows a window manager would close: the joining thread's top-level windows, shown or
// not (the program's main window, hidden until its controller asks for it). A worker's top-level
// window (the link thread's hidden one) is never on the screen; closing it would only end that
// thread's work ahead of the process. False when the joining thread has no window yet.
bool CloseJoiningThreadsWindows() {
  bool closed = false;
  ForEachWindow([&](const WindowInfo& info) {
    if (!info.top_level || info.thread != session.joining_thread) return;
    closed = PostMessageW(info.handle, WM_CLOSE, 0, 0) || closed;
  });
  return closed;
}

// Takes every connection waiting on the listener: a stranger's is closed at once, our own user's
// is answered. False when no descriptor was left for one; the spare descriptor, given up for a
// moment, then lets the first waiting connection be taken and dropped, so the queue still moves.
bool AcceptWaitingConnections(int listener, int* spare) {
  for (;;) {
    const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection >= 0) {
      if (PeerIsOurUser(connection)) AnswerRequest(connection);
      close(connection);
      continue;
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (errno != EMFILE && errno != ENFILE) return true;
    if (*spare >= 0) {
      close(*spare);
      const int dropped = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (dropped >= 0) close(dropped);
      *spare = open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
    return false;
  }
}

// The session thread: never inside a signal handler, so the close is an ordinary posted message.
void ServeSession(int listener, int stop_signals) {
  pollfd watched[] = {{listener, POLLIN, 0}, {stop_signals, POLLIN, 0}};
  int spare = open("/dev/null", O_RDONLY | O_CLOEXEC);
  bool stop_pending = false;
  bool out_of_descriptors = false;
  for (;;) {
    watched[0].fd = out_of_descriptors ? -1 : listener;
    const int timeout_ms = out_of_descriptors ? kNoDescriptorPauseMs
                           : stop_pending     ? kStopRetryMs
                                              : -1;
    out_of_descriptors = false;
    if (poll(watched, 2, timeout_ms) < 0) continue;
    if (watched[0].revents & POLLIN) {
      out_of_descriptors = !AcceptWaitingConnections(listener, &spare);
    }
    signalfd_siginfo signal;
    if ((watched[1].revents & POLLIN) &&
        read(stop_signals, &signal, sizeof signal) == sizeof signal) {
      stop_pending = true;
      stop_requested = true;
    }
    if (stop_pending) stop_pending = !CloseJoiningThreadsWindows();
  }
}

// The holder's watch over its claim and the stop signals; without it the signals act as they
// would without the session (they end the process).
void StartSessionThread(int listener) {
  const sigset_t signals = StopSignals();
  int stop_signals = signalfd(-1, &signals, SFD_CLOEXEC);
  if (listener >= 0 || stop_signals >= 0) {
    try {
      std::thread([listener, stop_signals] {
        GiveThreadSignalStack();
        ServeSession(listener, stop_signals);
      }).detach();
    } catch (const std::system_error&) {
      stop_signals = -1;
    }
  }
  if (stop_signals < 0) pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}

}  // namespace

bool AnotherProcessHoldsTheClaim() { return session.claim_elsewhere; }

socklen_t ClaimAddress(sockaddr_un* address) {
  *address = session.claim_address;
  return session.claim_length;
}

}  // namespace platform::desktop

namespace platform {

using namespace desktop;

bool DesktopAdmitsTopLevelWindow() { return !AnotherProcessHoldsTheClaim(); }

bool StopRequested() { return stop_requested; }

bool AnotherInstanceRuns() { return AnotherProcessHoldsTheClaim(); }

void JoinDesktopSession(const char* program) {
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  session.joining_thread = std::this_thread::get_id();
  NameTheClaim(program);
  int listener = -1;
  switch (TakeClaim(&listener)) {
    case Claim::HeldElsewhere:
      // This start only hands over to the holder and ends; the signals wait until it has.
      session.claim_elsewhere = true;
      return;
    case Claim::HeldByStranger:
      std::fprintf(stderr,
                   "quelt: the single-instance claim is held by another user; running without it, "
                   "so a second start will not see this one\n");
      break;
    case Claim::Unavailable:
      std::fprintf(stderr,
                   "quelt: no single-instance claim (%s); a second start will not see this one\n",
                   std::strerror(errno));
      break;
    case Claim::Held:
      break;
  }
  StartSessionThread(listener);
}

}  // namespace platform
