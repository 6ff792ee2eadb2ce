// A blocking TCP stream socket. The transfer thread connects, sends, receives and closes it;
// the owning thread may abort it at the same time to break a blocked call. The handle is taken
// out atomically, so that it is shut down and closed exactly once, and never closed while an
// abort is shutting it down. A connect races the host's addresses (connect_race.h) and keeps
// the handle of the one that answered; the connect and each receive wait within the transfer's
// limits: a peer that does not answer, falls silent or trickles is given up on.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

#include "base/critical_section_lock.h"
#include "net/socket/byte_stream.h"
#include "net/socket/connect_race.h"
#include "net/socket/socket_address.h"
#include "net/socket/socket_platform.h"
#include "net/socket/transfer_limits.h"

// Told on the receiving thread when the peer has sent nothing for the limits' notice time, and
// when that ends (bytes came, or the receive ended).
class SilenceWatcher {
 public:
  virtual void OnPeerSilent(bool silent) = 0;

 protected:
  ~SilenceWatcher() = default;
};

class TcpSocket : public ByteStream {
 public:
  TcpSocket() = default;
  ~TcpSocket() override;
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // The limits of the connects and receives to come (the program's own unless set); the
  // watcher of a silent peer, or null. Set before Connect.
  void SetLimits(const TransferLimits& limits) { limits_ = limits; }
  void WatchSilence(SilenceWatcher* watcher) { silence_watcher_ = watcher; }

  // Obtains a new handle (closing one still open); true when one was obtained. Ends an abort:
  // the socket can be used again.
  bool Create();
  // Connects to the first of the addresses that answers within the connect limit and keeps that
  // connection in place of the handle it had; false when none did or the socket was aborted
  // meanwhile (LastError then tells the last failure, the time-out's code when the limit
  // passed, 0 after an abort). The observer, when given, is told of each address.
  bool ConnectToAny(const std::vector<SocketAddress>& addresses, ConnectObserver* observer,
                    int stagger_ms = kConnectStaggerMs);
  bool Connect(const SocketAddress& address) { return ConnectToAny({address}, nullptr); }
  // One send: bytes accepted, or -1.
  int Send(const char* bytes, int length);
  // Sends every byte, however many sends it takes; false when one fails.
  bool SendAll(const char* bytes, int length) override;
  // One receive: bytes received, 0 when the peer closed, -1 on failure, abort, or a stall
  // (LastError then the time-out's code, LastStall why).
  int Receive(char* buffer, int capacity) override;
  // The receives from now on must bring a whole header block within the limits' header_ms, until
  // EndHeaderDeadline; a new connection has none.
  void StartHeaderDeadline() { header_deadline_ms_ = std::uint64_t{Elapsed()} + limits_.header_ms; }
  void EndHeaderDeadline() { header_deadline_ms_ = kNoDeadline; }
  // A kept connection that carries another request: its limits count from now, as a new
  // connection's do, so that the pause before it is no silence.
  void RestartClocks();
  // Whether the peer has sent nothing (no bytes, no close) that waits to be received.
  bool PeerQuiet() const;
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
  // Why the last receive gave up on the peer; None when it did not.
  Stall LastStall() const { return stall_; }

 private:
  using Clock = std::chrono::steady_clock;
  // The amount of the rate window is kept in this many slices, and one more for the slice
  // under way, so that the bytes counted always span at least the whole window.
  static constexpr int kRateSlices = 10;
  static constexpr std::uint64_t kNoDeadline = ~std::uint64_t{0};

  // Milliseconds since the connection was made.
  std::uint32_t Elapsed() const;
  // Counts bytes received now into the rate window, and moves the window to now.
  void CountBytes(std::uint32_t elapsed, std::uint32_t bytes);
  // Whether the peer has given reason to be given up on by now; sets stall_.
  bool Stalled(std::uint32_t elapsed);
  void TellSilent(bool silent);

  TransferLimits limits_;
  SilenceWatcher* silence_watcher_ = nullptr;
  std::atomic<SocketHandle> handle_{kInvalidSocket};
  // Held while the handle is replaced or shut down, never for I/O.
  CriticalSectionLock handle_change_;
  bool created_ = false;
  std::atomic<bool> aborted_{false};
  std::atomic<int> last_error_{0};
  Stall stall_ = Stall::None;
  // Of the connection made: when, when its last byte came, its bytes per slice of the rate
  // window (the slice under way is rate_slice_ modulo the count), and whether the watcher was
  // told of a silence.
  Clock::time_point connected_at_;
  std::uint32_t last_byte_ms_ = 0;
  std::uint32_t rate_bytes_[kRateSlices + 1] = {};
  std::uint32_t rate_slice_ = 0;
  bool told_silent_ = false;
  std::uint64_t header_deadline_ms_ = kNoDeadline;  // since the connection was made
};
