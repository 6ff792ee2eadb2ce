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
  if (created_) SetReceiveTimeout(handle, receive_timeout_ms);
  LockGuard guard(handle_change_);
  handle_ = handle;
  return created_;
}

bool TcpSocket::Connect(const SocketAddress& address) {
  SocketHandle handle = handle_.load();
  if (handle == kInvalidSocket) return false;
  if (!ConnectOnce(handle, address.Get(), address.Size())) {
    last_error_ = LastSocketError();
    return false;
  }
  return true;
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
  if (kAbortByClosing) {
    Close();
    return;
  }
  LockGuard guard(handle_change_);
  SocketHandle handle = handle_.load();
  if (handle != kInvalidSocket) ShutdownBoth(handle);
}
