// The HTTP/1.0 exchange itself: the request text and the reading of the reply.
#include "net/request/http_request.h"

#include <memory>

#include "net/proxy/proxy_answer.h"
#include "net/socket/byte_stream.h"
#include "net/tls/start_tls.h"

// Turns what the reader makes of the reply into the request's hooks. A failure is held back
// until the socket is closed, so that the peer is not kept waiting while it is reported.
class HttpRequest::ReplyEvents : public HttpResponseReader::Events {
 public:
  ReplyEvents(HttpRequest& request, const HttpResponseReader& reader)
      : request_(request), reader_(reader) {}

  void OnHeaderBlock() override {
    request_.HeadersDone = true;
    if (reader_.LengthKnown()) request_.content_length_ = reader_.ContentLength();
    // Only the very rest of the same file may be added to what is on disk.
    if (request_.resume_ && request_.headers.StatusCode == 206) {
      request_.continues_file_ =
          ContinuesFile(*request_.resume_, request_.headers.Lookup("Content-Range"),
                        request_.content_length_, request_.headers.Lookup("ETag"));
      range_refused = !request_.continues_file_;
    }
  }
  bool OnBody(const char* data, int length) override {
    if (range_refused) return false;
    if (!request_.OnData(data, length)) return false;
    request_.BytesReceived += static_cast<std::uint32_t>(length);
    return true;
  }
  void OnStatus(int status) override {
    if (status == 416 && request_.resume_) {
      request_.ReportError({TransferError::RangeRefused, status, 0});
      return;
    }
    if (status == 407 && request_.ThroughHttpProxy()) {
      request_.ReportError({TransferError::ProxyAuthRequired, status, 0});
      return;
    }
    request_.ReportError({TransferError::HttpStatus, status, 0});
  }
  void OnComplete() override {}
  void OnFailure(HttpResponseReader::Failure failure) override {
    failed = true;
    failure_ = failure;
  }

  // The failure the reader found, as a transfer error; receive_error is the socket's code
  // for a failed receive.
  TransferError Error(long receive_error) const {
    switch (failure_) {
      case HttpResponseReader::Failure::Malformed:
      case HttpResponseReader::Failure::HeaderTooLong:
        return TransferError::Malformed;
      case HttpResponseReader::Failure::CutShort:
        return TransferError::CutShort;
      case HttpResponseReader::Failure::ReceiveFailed:
        break;
    }
    return IsTimeoutError(receive_error) ? TransferError::Stalled : TransferError::ReceiveFailed;
  }

  bool failed = false;
  bool range_refused = false;  // a 206 that is not the rest of the file asked for

 private:
  HttpRequest& request_;
  const HttpResponseReader& reader_;
  HttpResponseReader::Failure failure_ = HttpResponseReader::Failure::CutShort;
};

std::string HttpRequest::FormatRequest() {
  // A Host line without the port, as the package servers have always seen. Lines end in CR LF
  // as HTTP requires: servers that guard against request smuggling refuse a bare LF.
  std::string request = HeadOnly ? "HEAD" : "GET";
  request += ' ';
  // A proxy is told the whole URL.
  if (ThroughHttpProxy()) request += "http://" + url.Host + ":" + std::to_string(url.Port);
  request += url.RequestTarget();
  request += " HTTP/1.0\r\nHost: ";
  request += url.Host;
  request += "\r\n";
  // The rest of a file that was cut short, only if the server's file is still that version:
  // else it sends the whole file.
  if (resume_) {
    request += "Range: bytes=" + std::to_string(resume_->offset) + "-\r\nIf-Range: ";
    request += resume_->validator;
    request += "\r\n";
  }
  request += "\r\n";
  return request;
}

void HttpRequest::Run() {
  // A mistyped "https" (or one behind invisible bytes) must not fall back to plain HTTP,
  // nor go to a proxy.
  if (!url.HasSupportedScheme()) {
    socket.Close();
    ReportError({TransferError::UnsupportedScheme, 0, 0});
    return;
  }
  if (!OpenConnection()) return;
  // A TLS handshake that fails or a certificate that is refused counts as a failed connect:
  // nothing from that connection is passed on.
  std::unique_ptr<ByteStream> tls;
  if (url.IsHttps()) {
    long refused = 0;
    tls = StartTls(socket, url.Host.c_str(), &refused);
    if (!tls) {
      const long broken = socket.LastError();
      socket.Close();
      ReportError(refused != 0 ? TransferResult{TransferError::TlsRefused, 0, refused}
                               : TransferResult{TransferError::Connect, 0, broken});
      return;
    }
  }
  ByteStream& stream = tls ? *tls : static_cast<ByteStream&>(socket);
  const std::string request = FormatRequest();
  if (!stream.SendAll(request.data(), static_cast<int>(request.size()))) {
    const long error = stream.LastError() != 0 ? stream.LastError() : socket.LastError();
    socket.Close();
    ReportError({TransferError::Send, 0, error});
    return;
  }

  BytesReceived = 0;
  ProxyAuthSchemes offered;
  HttpResponseReader reader(headers, HeadOnly, ThroughHttpProxy() ? &offered : nullptr);
  if (resume_) reader.AcceptPartial();
  ReplyEvents events(*this, reader);
  while (!StopRequested && !reader.Finished()) {
    const int received = stream.Receive(reader.Space(), reader.SpaceSize());
    if (StopRequested) break;
    if (received <= 0) {
      using Ending = HttpResponseReader::Ending;
      reader.End(received < 0                  ? Ending::ReceiveFailed
                 : stream.EndedWithoutNotice() ? Ending::PeerClosedWithoutNotice
                                               : Ending::PeerClosed,
                 events);
      break;
    }
    reader.Received(received, events);
  }

  proxy_auth_offered_ = offered.Text();
  const long receive_error = socket.LastError();
  const long stream_error = stream.LastError() != 0 ? stream.LastError() : receive_error;
  socket.Close();
  if (events.range_refused) {
    ReportError({TransferError::RangeRefused, headers.StatusCode, 0});
  } else if (events.failed) {
    ReportError({events.Error(receive_error), 0, stream_error});
  }
}
