#include "net/socket/tcp_socket.h"

#include "net/socket/winsock_session.h"

namespace {
std::atomic<int> receive_timeout_ms{TcpSocket::kDefaultReceiveTimeoutMs};
}  // namespace

void TcpSocket::SetReceiveTimeoutForTesting(int milliseconds) {
  receive_timeout_ms = milliseconds;
}

int TcpSocket::ReceiveTimeoutMs() {
  return receive_timeout_ms;
}

TcpSocket::~TcpSocket() {
  if (created_) Close();
}

bool TcpSocket::Create() {
  // Sockets need the process-wide Winsock start-up; referring to the session here links it
  // into every program that opens a socket.
  static_cast<void>(WinsockSession::Instance());
  Close();
  SocketHandle handle = OpenTcpHandle();
  created_ = handle != kInvalidSocket;
  receive_timeout_ms_ = receive_timeout_ms;
  if (created_) SetReceiveTimeout(handle, receive_timeout_ms_);
  LockGuard guard(handle_change_);
  handle_ = handle;
  aborted_ = false;
  return created_;
}

bool TcpSocket::ConnectToAny(const std::vector<SocketAddress>& addresses, ConnectObserver* observer,
                             int stagger_ms) {
  const RaceOutcome outcome = RaceConnect(addresses, aborted_, observer, stagger_ms);
  if (outcome.handle == kInvalidSocket) {
    last_error_ = outcome.error;
    return false;
  }
  SetReceiveTimeout(outcome.handle, receive_timeout_ms_);
  SocketHandle replaced;
  bool aborted;
  {
    LockGuard guard(handle_change_);
    // An abort that came as the race ended must still break the connection it made.
    aborted = aborted_;
    replaced = handle_.exchange(aborted && kAbortByClosing ? kInvalidSocket : outcome.handle);
    if (aborted && !kAbortByClosing) ShutdownBoth(outcome.handle);
  }
  if (replaced != kInvalidSocket) CloseHandleOfSocket(replaced);
  if (aborted && kAbortByClosing) CloseHandleOfSocket(outcome.handle);
  created_ = true;
  last_error_ = 0;
  return !aborted;
}

int TcpSocket::Send(const char* bytes, int length) {
  SocketHandle handle = handle_.load();
  if (handle == kInvalidSocket) return -1;
  const int sent = SendOnce(handle, bytes, length);
  if (sent < 0) last_error_ = LastSocketError();
  return sent;
}

bool TcpSocket::SendAll(const char* bytes, int length) {
  while (length > 0) {
    int sent = Send(bytes, length);
    if (sent < 1) return false;
    bytes += sent;
    length -= sent;
  }
  return true;
}

int TcpSocket::Receive(char* buffer, int capacity) {
  SocketHandle handle = handle_.load();
  if (handle == kInvalidSocket) return -1;
  int received = ReceiveOnce(handle, buffer, capacity);
  if (received < 0) last_error_ = LastSocketError();
  return received < 0 ? -1 : received;
}

int TcpSocket::Close() {
  SocketHandle handle;
  {
    LockGuard guard(handle_change_);
    handle = handle_.exchange(kInvalidSocket);
  }
  if (handle == kInvalidSocket) return -1;
  ShutdownBoth(handle);
  return CloseHandleOfSocket(handle);
}

void TcpSocket::Abort() {
  aborted_ = true;
  if (kAbortByClosing) {
    Close();
    return;
  }
  LockGuard guard(handle_change_);
  SocketHandle handle = handle_.load();
  if (handle != kInvalidSocket) ShutdownBoth(handle);
}
