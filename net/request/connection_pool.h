// The connections a run keeps open between its requests (HTTP/1.1 keep-alive), so that each file
// does not pay for a connect and a TLS handshake of its own. A connection is kept for its way (the
// scheme, host and port it reaches, along one proxy route) and taken by the next request that
// goes the same way; one that has been idle for kIdleMs is closed by a thread of the pool's own,
// and every one when the pool goes at the run's end. The run's transfers share it: a lock guards
// it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/critical_section_lock.h"
#include "base/thread.h"
#include "base/wake_signal.h"
#include "net/socket/byte_stream.h"
#include "net/socket/tcp_socket.h"

// One connection: its socket and, for https, TLS over it (declared after the socket, which it
// uses, so that it goes first).
struct Connection {
  TcpSocket socket;
  std::unique_ptr<ByteStream> tls;
  std::string way;  // what it was made for; empty while it is being made
  int hop = -1;     // the route's hop it goes through (-1: a route without hops)

  ByteStream& Stream() { return tls ? *tls : static_cast<ByteStream&>(socket); }
  // Whether it can carry another request: the peer has sent nothing since the last reply (a
  // close, or bytes nobody asked for, would be waiting) and TLS holds nothing unread.
  bool Quiet() const { return socket.PeerQuiet() && (!tls || tls->Idle()); }
};

class ConnectionPool {
 public:
  // Servers close idle connections after 5 s or more (Apache 5, nginx 75): one kept longer would
  // mostly be found closed.
  static constexpr std::uint32_t kIdleMs = 5000;

  // idle_ms: how long a connection is kept unused (shorter in tests).
  explicit ConnectionPool(std::uint32_t idle_ms = kIdleMs) : idle_ms_(idle_ms) {}
  ~ConnectionPool();
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // The most recently kept connection for way that is still open and quiet; null when none.
  std::unique_ptr<Connection> Take(const std::string& way);
  // Keeps the connection, whose last reply was read to its end, for the next request its way.
  void Keep(std::unique_ptr<Connection> connection);
  // How many are kept now.
  std::size_t KeptCount();

 private:
  using Clock = std::chrono::steady_clock;
  struct Kept {
    std::unique_ptr<Connection> connection;
    Clock::time_point since;
  };

  static void CloseIdle(void* pool);

  const std::uint32_t idle_ms_;
  CriticalSectionLock lock_;
  std::vector<Kept> kept_;
  bool ending_ = false;
  WakeSignal wake_;
  Thread closer_;  // started with the first connection kept
};
