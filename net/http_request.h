// One HTTP/1.0 transaction against one URL, carried out on a transfer thread of its own.
// The thread calls OnStart, then Run and OnFinish; Run hands body blocks to OnData and at
// most one failure to OnError.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "net/header_map.h"
#include "net/http_response_reader.h"
#include "net/tcp_socket.h"
#include "net/url.h"

// Result codes of a transfer; an HTTP status other than 200 is reported as itself.
enum TransferError : int {
  ErrorResolve = -1,
  ErrorConnect = -2,
  ErrorSend = -3,
  ErrorReceive = -4,   // the reply was cut short, stalled or malformed
  ErrorReported = -5,  // the destination file could not be created or written
};

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
  // Asks the transfer to stop, aborts the socket (which breaks a blocked connect, send or
  // receive), waits for the thread and closes the socket. A stopped transfer reports no error.
  void Stop();

  const Url& GetUrl() const { return url; }

  std::int32_t ResultCode = 0;

 protected:
  virtual void Run();
  virtual bool OnStart() { return true; }
  virtual void OnFinish() {}
  virtual void OnError(int code) { ResultCode = code; }
  virtual bool OnData(const char* data, int length) = 0;
  virtual std::string FormatRequest();

  TcpSocket socket;
  Url url;
  HeaderMap headers;
  std::atomic<bool> StopRequested{false};
  bool HeadersDone = false;
  bool HeadOnly = false;
  std::uint32_t BytesReceived = 0;
  // Why the TLS handshake of an https transfer failed (see StartTls); 0 otherwise.
  long TlsError = 0;

 private:
  static constexpr std::uintptr_t kNoThreadHandle = ~std::uintptr_t{0};

  class ReplyEvents;  // hands what the response reader finds on to the hooks

  static void TransferThread(HttpRequest* request);
  // OnError, unless the transfer was asked to stop: a stopped transfer ends without a code.
  void ReportError(int code);

  std::atomic<std::uintptr_t> ThreadHandle{kNoThreadHandle};
  std::thread thread_;  // stays joinable until Wait joins it, whatever ThreadHandle says
};
