// A blocking TCP stream socket. The transfer thread connects, sends, receives and closes it;
// the owning thread may close it at the same time to break a blocked call, so the handle is
// taken out atomically and shut down and closed exactly once.
#pragma once

#include <atomic>

#include "net/socket_address.h"
#include "net/socket_platform.h"

class TcpSocket {
 public:
  TcpSocket() = default;
  virtual ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Obtains a new handle (closing one still open); true when one was obtained.
  bool Create();
  bool Connect(const SocketAddress& address);
  // One send: bytes accepted, or -1.
  int Send(const char* bytes, int length);
  // Sends every byte, however many sends it takes; false when one fails.
  bool SendAll(const char* bytes, int length);
  // One receive: bytes received, 0 when the peer closed, -1 on failure or time-out.
  int Receive(char* buffer, int capacity);
  // Shuts down and closes the handle; the result of the close, or -1 when there was none.
  int Close();

  bool IsCreated() const { return created_; }
  bool IsOpen() const { return handle_.load() != kInvalidSocket; }

  // How long a receive may wait for its first byte before it fails. The program always uses
  // the default of 120 s; tests shorten it so that a stalled server does not hold them.
  static constexpr int kDefaultReceiveTimeoutMs = 120000;
  static void SetReceiveTimeoutForTesting(int milliseconds);
  static int ReceiveTimeoutMs();

 private:
  std::atomic<SocketHandle> handle_{kInvalidSocket};
  bool created_ = false;
};
