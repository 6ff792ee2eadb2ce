// A blocking TCP stream socket. The transfer thread connects, sends, receives and closes it;
// the owning thread may abort it at the same time to break a blocked call. The handle is taken
// out atomically, so that it is shut down and closed exactly once, and never closed while an
// abort is shutting it down. A connect races the host's addresses (connect_race.h) and keeps
// the handle of the one that answered.
#pragma once

#include <atomic>

#include <vector>
#include "base/critical_section_lock.h"

#include "net/socket/byte_stream.h"
#include "net/socket/connect_race.h"
#include "net/socket/socket_address.h"
#include "net/socket/socket_platform.h"

class TcpSocket : public ByteStream {
 public:
  TcpSocket() = default;
  ~TcpSocket() override;
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Obtains a new handle (closing one still open); true when one was obtained. Ends an abort:
  // the socket can be used again.
  bool Create();
  // Connects to the first of the addresses that answers and keeps that connection in place of
  // the handle it had; false when none did or the socket was aborted meanwhile (LastError then
  // tells the last failure, 0 after an abort). The observer, when given, is told of each
  // address.
  bool ConnectToAny(const std::vector<SocketAddress>& addresses, ConnectObserver* observer,
                    int stagger_ms = kConnectStaggerMs);
  bool Connect(const SocketAddress& address) { return ConnectToAny({address}, nullptr); }
  // One send: bytes accepted, or -1.
  int Send(const char* bytes, int length);
  // Sends every byte, however many sends it takes; false when one fails.
  bool SendAll(const char* bytes, int length) override;
  // One receive: bytes received, 0 when the peer closed, -1 on failure or time-out.
  int Receive(char* buffer, int capacity) override;
  // Shuts down and closes the handle; the result of the close, or -1 when there was none.
  int Close();
  // From another thread: makes a connect, send or receive blocked on this socket fail now,
  // and any later connect until the next Create. The handle may stay open until its user or
  // the destructor closes it.
  void Abort();

  bool IsCreated() const { return created_; }
  bool IsOpen() const { return handle_.load() != kInvalidSocket; }
  // The system's code for the last failed connect, send or receive; 0 when none failed. The
  // close that follows a failure may change the thread's own last error, not this.
  long LastError() const override { return last_error_; }

  // How long a receive may wait for its first byte before it fails. The program always uses
  // the default of 120 s; tests shorten it so that a stalled server does not hold them.
  static constexpr int kDefaultReceiveTimeoutMs = 120000;
  static void SetReceiveTimeoutForTesting(int milliseconds);
  static int ReceiveTimeoutMs();

 private:
  std::atomic<SocketHandle> handle_{kInvalidSocket};
  // Held while the handle is replaced or shut down, never for I/O.
  CriticalSectionLock handle_change_;
  std::atomic<bool> aborted_{false};
  int receive_timeout_ms_ = kDefaultReceiveTimeoutMs;  // as it was when the socket was created
  bool created_ = false;
  std::atomic<int> last_error_{0};
};
