// A TCP port on 127.0.0.1 standing in for an NBD server that is broken in one of the ways a
// network gives: nothing listening (the connection is refused), a listener that takes connections
// and never speaks, or one whose queue is full so that a connection never completes (as with an
// unreachable host).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

class LoopbackPort {
 public:
  enum class Kind { Refusing, Silent, QueueFull };

  explicit LoopbackPort(Kind kind) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    // Bound, so the port stays ours, but refusing unless listening.
    bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (kind == Kind::Refusing) return;
    listen(listener_, kind == Kind::QueueFull ? 0 : 16);
    // A backlog of 0 still queues one connection; with two waiting, further handshakes are
    // dropped and the client keeps resending its SYN.
    for (int i = 0; kind == Kind::QueueFull && i < 2; ++i) {
      const int filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      connect(filler, reinterpret_cast<sockaddr*>(&address), length);
      held_.push_back(filler);
    }
  }
  LoopbackPort(const LoopbackPort&) = delete;
  LoopbackPort& operator=(const LoopbackPort&) = delete;
  ~LoopbackPort() { Close(); }

  // Ends every connection and the listener: a client still waiting on them hears of it.
  void Close() {
    for (int connection : held_) close(connection);
    held_.clear();
    if (listener_ != -1) close(listener_);
    listener_ = -1;
  }

  std::string uri() const { return "nbd://127.0.0.1:" + std::to_string(port_); }

  // Takes a waiting connection within timeout_ms, sends it `words` (the start of an NBD greeting,
  // say) and nothing more, and holds it until the port goes. False when none came.
  bool Accept(int timeout_ms, const std::string& words = "") {
    pollfd waiting = {listener_, POLLIN, 0};
    if (poll(&waiting, 1, timeout_ms) != 1) return false;
    const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection == -1) return false;
    held_.push_back(connection);
    return send(connection, words.data(), words.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(words.size());
  }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::vector<int> held_;
};
