// One HTTP/1.1 transaction against one URL, on a transfer thread of its own (Start) or on the
// caller's (Perform), which calls OnStart, then Run and OnFinish; Run hands body blocks to
// OnData and at most one failure to OnError. With a pool, the connection comes from it when one
// is kept for the same way, and goes back to it when the reply leaves it open.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "base/critical_section_lock.h"
#include "base/thread.h"
#include "net/http/content_range.h"
#include "net/http/header_map.h"
#include "net/http/http_response_reader.h"
#include "net/http/url.h"
#include "net/proxy/proxy_route.h"
#include "net/request/connection_pool.h"
#include "net/request/transfer_result.h"
#include "net/request/transfer_state.h"
#include "net/socket/tcp_socket.h"
#include "net/socket/transfer_limits.h"

class TlsSharedState;

// A derived class whose hooks use its own members must call Stop (or Wait) in its own
// destructor: the base destructor runs after those members are gone.
//
// The reader of the reply calls OnData itself: a body block goes from the receive buffer to the
// derived class in one call.
class HttpRequest : private HttpResponseReader::Events,
                    private SilenceWatcher,
                    private ConnectObserver {
 public:
  // The largest body block a receive can bring (the response reader's).
  static constexpr int kReceiveBufferSize = HttpResponseReader::kBodyReceiveSize;

  explicit HttpRequest(const char* url_text);
  virtual ~HttpRequest();
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;

  // Starts the transfer thread; true when a thread is (already) running.
  bool Start(bool head_only);
  // The transfer on the calling thread, no thread started: OnStart, then Run and OnFinish. An
  // Abort from another thread, also one that came before it, ends it as it ends a thread's.
  void Perform(bool head_only);
  // Blocks until the transfer thread has ended; returns at once when none was started.
  void Wait();
  // From any thread: asks the transfer to stop and aborts its connection, which breaks a blocked
  // connect, send or receive (plain or TLS) at once. Returns without waiting; the transfer then
  // ends without reporting an error. A name lookup in progress cannot be broken: the transfer
  // ends as soon as it returns. Before Perform it makes Perform end at once.
  void Abort();
  // Abort, then wait for the thread and close the socket.
  void Stop();

  const Url& RequestUrl() const { return state_.url; }
  // The time limits of the connects and receives, set before Start; the program's own unless
  // set.
  void SetTransferLimits(const TransferLimits& limits) { limits_ = limits; }
  // Points the next Start at another URL (a redirect's target, or the first URL again); what
  // the request asks for of the file (the resume point) stays.
  void SetUrl(const char* url_text) { state_.url.Parse(url_text); }
  // The way to the server, set before Start; without one the transfer goes straight there.
  void SetRoute(ProxyRoute route) { route_ = std::move(route); }
  const ProxyRoute& Route() const { return route_; }
  // What this request's TLS connection shares with the run's others (credentials, trusted
  // chains), set before Start; it outlives the request. Without it the connection has its own.
  void ShareTlsWith(TlsSharedState* shared) { tls_shared_ = shared; }
  // Where the run keeps its open connections, set before Start; it outlives the request. Without
  // it every transfer has a connection of its own, closed when it ends.
  void KeepConnectionsIn(ConnectionPool* pool) { pool_ = pool; }
  // The proxy the transfer went through (or last tried); null when it went direct.
  const ProxyAddress* ProxyUsed() const;
  // What a proxy's 407 offered in its Proxy-Authenticate lines ("NTLM, Negotiate").
  const std::string& ProxyAuthOffered() const { return proxy_auth_offered_; }
  // How the transfer ended, read after Wait: a stopped or refused transfer reports no error.
  const TransferResult& Result() const { return result_; }
  // What was asked for and what the reply said, read after Wait (or from the hooks).
  const TransferState& State() const { return state_; }
  // The reply's status line and headers.
  const HeaderMap& ReplyHeaders() const { return headers_; }

  // Makes the next Start ask only for the rest of the file at point (Range and If-Range after
  // the Host line), or for the whole file again (none).
  void ResumeAt(std::optional<ResumePoint> point) { state_.resume = std::move(point); }
  // Makes the next Start ask for the rest of the file's version after its first stored bytes,
  // when the version can be named and its length is known; else for the whole file.
  void ResumeAfter(std::uint64_t stored);

 protected:
  virtual void Run();
  virtual bool OnStart() { return true; }
  virtual void OnFinish() {}
  // The transfer's one failure, already stored in Result().
  virtual void OnError(const TransferResult& /*result*/) {}
  // A body block; data is valid only during the call. False ends the transfer.
  bool OnData(const char* data, int length) override = 0;
  virtual std::string FormatRequest();
  // One hop of the route failed and the next one is tried; result says why.
  virtual void OnHopFailed(const ProxyHop& /*hop*/, const TransferResult& /*result*/) {}
  // On the transfer thread: the server (or proxy) has sent nothing for a while (silent), or
  // sends again or the wait has ended (not silent).
  virtual void OnServerSilent(bool /*silent*/) {}
  // An address of host (the server's, or a proxy's) was tried: error 0 when it answered and
  // the connection uses it, else the system's code for its failure.
  virtual void OnAddressTried(const std::string& /*host*/, const SocketAddress& /*address*/,
                              long /*error*/) {}
  // The request goes on a connection kept from an earlier one (gave_out false); or that
  // connection ended before a byte of the reply came (gave_out true), and the request is sent
  // again on a new one, which is no failure of the transfer.
  virtual void OnKeptConnection(bool /*gave_out*/) {}

  // Stores the failure and tells OnError, unless the transfer was asked to stop: a stopped
  // transfer ends without one.
  void ReportError(const TransferResult& result);
  // The reply being read starts a new version of the file (a whole file rather than the rest of
  // one): what it says of itself is what a later request for the rest must name, and the
  // request no longer asks for a rest.
  void BeginFileVersion();

 private:
  static void TransferThread(void* request);
  // What a transfer resets before it begins, and the transfer itself with its end.
  void BeginTransfer(bool head_only);
  void Transfer();
  // Makes next the connection in use, under the lock an abort takes; an abort asked for
  // before it aborts the new one too.
  void InstallConnection(std::unique_ptr<Connection> next);
  // The scheme, host and port of the URL along the route: which kept connections may serve it.
  std::string Way() const;
  // The connection kept for the way, when the pool has one; false when it has none.
  bool TakeKeptConnection(const std::string& way);
  // Connects along the route (http_request_connect.cpp): to the server, or to a proxy and for
  // https through its tunnel, then TLS for https; false once a failure has been reported or a
  // stop asked for.
  bool OpenConnection();
  bool OpenTunnel();
  bool StartTlsIfHttps();
  // The request and its reply on the connection in use; false when the connection was kept
  // and ended before any byte of the reply, so that the request is to be sent again.
  bool Exchange(bool on_kept_connection, const std::string& way);
  // Whether the request goes to an http proxy, which takes the absolute URL.
  bool ThroughHttpProxy() const;
  // The reply's events, as the reader tells them (OnData goes to the derived class).
  bool OnHeaderBlock() override;
  void OnStatus(int status) override;
  void OnComplete() override {}
  void OnFailure(HttpResponseReader::Failure failure) override;
  void OnPeerSilent(bool silent) override { OnServerSilent(silent); }
  // The failure the reader found, as a transfer error; receive_error is the socket's code
  // for a failed receive. A stall is noted in the state.
  TransferError ReplyError(long receive_error);
  // The connect's reports, passed on to OnAddressTried with the host being connected to.
  void OnAddressFailed(const SocketAddress& address, long error) override;
  void OnAddressConnected(const SocketAddress& address) override;

  // The connection in use (made, or taken from the pool), replaced under connection_change_
  // so that an abort from another thread always meets the one in use.
  std::unique_ptr<Connection> connection_;
  CriticalSectionLock connection_change_;
  ConnectionPool* pool_ = nullptr;
  TransferLimits limits_;
  HeaderMap headers_;
  TransferState state_;
  std::atomic<bool> StopRequested{false};
  TransferResult result_;
  // How the reader found the reply broken; none while it is not.
  std::optional<HttpResponseReader::Failure> reply_failure_;
  const HttpResponseReader* reader_ = nullptr;  // while Run reads a reply
  ProxyRoute route_;
  TlsSharedState* tls_shared_ = nullptr;
  int hop_used_ = -1;
  const std::string* connecting_to_ = nullptr;  // the host of the connect under way
  std::string proxy_auth_offered_;
  // Set by Start before the thread exists, cleared by the thread as its last touch of the
  // object; the thread itself stays joinable until Wait joins it.
  std::atomic<bool> transfer_running_{false};
  Thread thread_;
};
