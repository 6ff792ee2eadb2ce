// One HTTP/1.0 transaction against one URL, carried out on a transfer thread of its own.
// The thread calls OnStart, then Run and OnFinish; Run hands body blocks to OnData and at
// most one failure to OnError.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "base/thread.h"
#include "net/http/content_range.h"
#include "net/http/header_map.h"
#include "net/http/http_response_reader.h"
#include "net/http/url.h"
#include "net/proxy/proxy_route.h"
#include "net/request/transfer_result.h"
#include "net/socket/tcp_socket.h"

// A derived class whose hooks use its own members must call Stop (or Wait) in its own
// destructor: the base destructor runs after those members are gone.
class HttpRequest {
 public:
  // The largest body block a receive can bring (the response reader's).
  static constexpr int kReceiveBufferSize = HttpResponseReader::kBodyReceiveSize;

  explicit HttpRequest(const char* url_text);
  virtual ~HttpRequest();
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;

  // Starts the transfer thread; true when a thread is (already) running.
  bool Start(bool head_only);
  // Blocks until the transfer thread has ended; returns at once when none was started.
  void Wait();
  // From any thread: asks the transfer to stop and aborts its socket, which breaks a blocked
  // connect, send or receive (plain or TLS) at once. Returns without waiting; the transfer then
  // ends without reporting an error. A name lookup in progress cannot be broken: the transfer
  // ends as soon as it returns.
  void Abort();
  // Abort, then wait for the thread and close the socket.
  void Stop();

  const Url& GetUrl() const { return url; }
  // The way to the server, set before Start; without one the transfer goes straight there.
  void SetRoute(ProxyRoute route) { route_ = std::move(route); }
  const ProxyRoute& Route() const { return route_; }
  // The proxy the transfer went through (or last tried); null when it went direct.
  const ProxyAddress* ProxyUsed() const;
  // What a proxy's 407 offered in its Proxy-Authenticate lines ("NTLM, Negotiate").
  const std::string& ProxyAuthOffered() const { return proxy_auth_offered_; }
  // How the transfer ended, read after Wait: a stopped or refused transfer reports no error.
  const TransferResult& Result() const { return result_; }

  // Makes the next Start ask only for the rest of the file at point (Range and If-Range after
  // the Host line), or for the whole file again (none).
  void ResumeAt(std::optional<ResumePoint> point) { resume_ = std::move(point); }
  const std::optional<ResumePoint>& Resume() const { return resume_; }

 protected:
  virtual void Run();
  virtual bool OnStart() { return true; }
  virtual void OnFinish() {}
  // The transfer's one failure, already stored in Result().
  virtual void OnError(const TransferResult& /*result*/) {}
  virtual bool OnData(const char* data, int length) = 0;
  virtual std::string FormatRequest();
  // One hop of the route failed and the next one is tried; result says why.
  virtual void OnHopFailed(const ProxyHop& /*hop*/, const TransferResult& /*result*/) {}

  // Stores the failure and tells OnError, unless the transfer was asked to stop: a stopped
  // transfer ends without one.
  void ReportError(const TransferResult& result);
  // The reply's Content-Length once its header block has been read; none without one.
  std::optional<std::uint32_t> ContentLength() const { return content_length_; }
  // From the header block on: the reply is the rest of the file asked for (an accepted 206),
  // to be added to what is on disk, rather than the whole file.
  bool ReplyContinuesFile() const { return continues_file_; }

  TcpSocket socket;
  Url url;
  HeaderMap headers;
  std::atomic<bool> StopRequested{false};
  bool HeadersDone = false;
  bool HeadOnly = false;
  std::uint32_t BytesReceived = 0;

 private:
  class ReplyEvents;  // hands what the response reader finds on to the hooks

  static void TransferThread(void* request);
  // Connects along the route (route_connection.cpp): to the server, or to a proxy and for
  // https through its tunnel; false once a failure has been reported or a stop asked for.
  bool OpenConnection();
  bool OpenTunnel();
  // Whether the request goes to an http proxy, which takes the absolute URL.
  bool ThroughHttpProxy() const;

  TransferResult result_;
  ProxyRoute route_;
  int hop_used_ = -1;
  std::string proxy_auth_offered_;
  std::optional<std::uint32_t> content_length_;
  std::optional<ResumePoint> resume_;
  bool continues_file_ = false;
  // Set by Start before the thread exists, cleared by the thread as its last touch of the
  // object; the thread itself stays joinable until Wait joins it.
  std::atomic<bool> transfer_running_{false};
  Thread thread_;
};
