#include "net/socket/tcp_socket.h"

#include <algorithm>

#include "net/socket/winsock_session.h"

namespace {
// A wait is cut into slices this short: the limits are looked at between them, and an abort
// ends the wait at once to a user's eye also where closing a handle does not wake a waiting
// call.
constexpr std::uint32_t kWaitSliceMs = 200;
}  // namespace

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
  connected_at_ = Clock::now();
  LockGuard guard(handle_change_);
  handle_ = handle;
  aborted_ = false;
  return created_;
}

bool TcpSocket::ConnectToAny(const std::vector<SocketAddress>& addresses, ConnectObserver* observer,
                             int stagger_ms) {
  const RaceOutcome outcome =
      RaceConnect(addresses, aborted_, observer, limits_.connect_ms, stagger_ms);
  if (outcome.handle == kInvalidSocket) {
    last_error_ = outcome.error;
    return false;
  }
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
  RestartClocks();
  return !aborted;
}

void TcpSocket::RestartClocks() {
  connected_at_ = Clock::now();
  last_byte_ms_ = 0;
  std::fill(rate_bytes_, rate_bytes_ + kRateSlices + 1, 0u);
  rate_slice_ = 0;
  header_deadline_ms_ = kNoDeadline;
}

bool TcpSocket::PeerQuiet() const {
  const SocketHandle handle = handle_.load();
  return handle != kInvalidSocket && WaitForHandle(handle, false, 0) == 0;
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

std::uint32_t TcpSocket::Elapsed() const {
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - connected_at_).count());
}

void TcpSocket::CountBytes(std::uint32_t elapsed, std::uint32_t bytes) {
  const std::uint32_t width = std::max<std::uint32_t>(1, limits_.rate_window_ms / kRateSlices);
  const std::uint32_t slice = elapsed / width;
  // The slices that passed since the last count received nothing.
  for (int cleared = 0; rate_slice_ < slice && cleared <= kRateSlices; ++cleared) {
    rate_bytes_[++rate_slice_ % (kRateSlices + 1)] = 0;
  }
  rate_slice_ = std::max(rate_slice_, slice);
  rate_bytes_[rate_slice_ % (kRateSlices + 1)] += bytes;
}

bool TcpSocket::Stalled(std::uint32_t elapsed) {
  std::uint64_t in_window = 0;
  for (std::uint32_t bytes : rate_bytes_) in_window += bytes;
  if (elapsed - last_byte_ms_ >= limits_.silence_ms) {
    stall_ = Stall::Silent;
  } else if (elapsed >= limits_.rate_window_ms && in_window < limits_.rate_min_bytes) {
    stall_ = Stall::TooSlow;
  } else if (elapsed >= header_deadline_ms_) {
    stall_ = Stall::HeaderLate;
  }
  return stall_ != Stall::None;
}

void TcpSocket::TellSilent(bool silent) {
  if (silent == told_silent_) return;
  told_silent_ = silent;
  if (silence_watcher_ != nullptr) silence_watcher_->OnPeerSilent(silent);
}

int TcpSocket::Receive(char* buffer, int capacity) {
  const SocketHandle handle = handle_.load();
  if (handle == kInvalidSocket) return -1;
  stall_ = Stall::None;
  int received = -1;
  while (!aborted_) {
    const std::uint32_t now = Elapsed();
    CountBytes(now, 0);
    if (Stalled(now)) {
      last_error_ = kTimedOutError;
      break;
    }
    if (now - last_byte_ms_ >= limits_.waiting_notice_ms) TellSilent(true);
    const int ready = WaitForHandle(handle, false, static_cast<int>(kWaitSliceMs));
    if (ready == 0) continue;
    if (ready > 0) received = ReceiveOnce(handle, buffer, capacity);
    if (received < 0) {
      last_error_ = LastSocketError();
      received = -1;
    } else if (received > 0) {
      last_byte_ms_ = Elapsed();
      CountBytes(last_byte_ms_, static_cast<std::uint32_t>(received));
    }
    break;
  }
  TellSilent(false);
  return received;
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
  // Seen by a connect or receive between the slices of its wait.
  aborted_ = true;
  if (kAbortByClosing) {
    Close();
    return;
  }
  LockGuard guard(handle_change_);
  SocketHandle handle = handle_.load();
  if (handle != kInvalidSocket) ShutdownBoth(handle);
}
