// The HTTP/1.0 exchange itself: the request text, and the reading of the reply, whose events
// the request turns into its hooks.
#include <memory>

#include "net/proxy/proxy_answer.h"
#include "net/request/http_request.h"
#include "net/socket/byte_stream.h"
#include "net/tls/start_tls.h"

std::string HttpRequest::FormatRequest() {
  const Url& url = state_.url;
  // The Host line names the port unless it is the scheme's own: a server that builds URLs from
  // it (a redirect to a path) must not lead to another port. Lines end in CR LF as HTTP
  // requires: servers that guard against request smuggling refuse a bare LF.
  std::string request = state_.HeadOnly ? "HEAD" : "GET";
  request += ' ';
  // A proxy is told the whole URL.
  if (ThroughHttpProxy()) request += "http://" + url.Host + ":" + std::to_string(url.Port);
  request += url.RequestTarget();
  request += " HTTP/1.0\r\nHost: ";
  request += url.Authority();
  request += "\r\n";
  // The rest of a file that was cut short, only if the server's file is still that version:
  // else it sends the whole file.
  if (state_.resume) {
    request += "Range: bytes=" + std::to_string(state_.resume->offset) + "-\r\nIf-Range: ";
    request += state_.resume->validator.value;
    request += "\r\n";
  }
  request += "\r\n";
  return request;
}

bool HttpRequest::OnHeaderBlock() {
  state_.HeadersDone = true;
  socket_.EndHeaderDeadline();
  if (reader_->LengthKnown()) state_.content_length = reader_->ContentLength();
  // Only the very rest of the same version of the file may be added to what is on disk; any
  // other part of it is not read.
  if (state_.resume && headers_.StatusCode == 206) {
    state_.continues_file =
        ContinuesFile(*state_.resume, headers_.Lookup("Content-Range"), state_.content_length,
                      headers_.Lookup("ETag"), headers_.Lookup("Last-Modified"));
    state_.range_refused = !state_.continues_file;
  }
  return !state_.range_refused;
}

void HttpRequest::OnStatus(int status) {
  if (status == 416 && state_.resume) {
    ReportError({TransferError::RangeRefused, status, 0});
    return;
  }
  if (status == 407 && ThroughHttpProxy()) {
    ReportError({TransferError::ProxyAuthRequired, status, 0});
    return;
  }
  ReportError({TransferError::HttpStatus, status, 0});
}

void HttpRequest::OnFailure(HttpResponseReader::Failure failure) {
  // Held back until the socket is closed, so that the peer is not kept waiting while it is
  // reported.
  reply_failure_ = failure;
}

TransferError HttpRequest::ReplyError(long receive_error) {
  switch (*reply_failure_) {
    case HttpResponseReader::Failure::Malformed:
    case HttpResponseReader::Failure::HeaderTooLong:
      return TransferError::Malformed;
    case HttpResponseReader::Failure::CutShort:
      return TransferError::CutShort;
    case HttpResponseReader::Failure::ReceiveFailed:
      break;
  }
  if (!IsTimeoutError(receive_error)) return TransferError::ReceiveFailed;
  state_.stall = socket_.LastStall();
  return TransferError::Stalled;
}

void HttpRequest::Run() {
  const Url& url = state_.url;
  // A mistyped "https" (or one behind invisible bytes) must not fall back to plain HTTP,
  // nor go to a proxy.
  if (!url.HasSupportedScheme()) {
    socket_.Close();
    ReportError({TransferError::UnsupportedScheme, 0, 0});
    return;
  }
  if (url.malformed) {
    socket_.Close();
    ReportError({TransferError::MalformedUrl, 0, 0});
    return;
  }
  if (!OpenConnection()) return;
  // A TLS handshake that fails or a certificate that is refused counts as a failed connect:
  // nothing from that connection is passed on.
  std::unique_ptr<ByteStream> tls;
  if (url.IsHttps()) {
    long refused = 0;
    tls = StartTls(socket_, url.HostName().c_str(), tls_shared_, &refused);
    if (!tls) {
      const long broken = socket_.LastError();
      socket_.Close();
      ReportError(refused != 0 ? TransferResult{TransferError::TlsRefused, 0, refused}
                               : TransferResult{TransferError::Connect, 0, broken});
      return;
    }
  }
  ByteStream& stream = tls ? *tls : static_cast<ByteStream&>(socket_);
  const std::string request = FormatRequest();
  if (!stream.SendAll(request.data(), static_cast<int>(request.size()))) {
    const long error = stream.LastError() != 0 ? stream.LastError() : socket_.LastError();
    socket_.Close();
    ReportError({TransferError::Send, 0, error});
    return;
  }
  socket_.StartHeaderDeadline();

  state_.BytesReceived = 0;
  ProxyAuthSchemes offered;
  HttpResponseReader reader(headers_, state_.HeadOnly, ThroughHttpProxy() ? &offered : nullptr);
  if (state_.resume) reader.AcceptPartial();
  // Bytes that are no HTTP reply are taken as a file only as the first answer for it: never as
  // the rest of one, nor in place of a file whose earlier reply announced its length.
  if (state_.resume || state_.version.total) reader.RequireHttpReply();
  reader_ = &reader;
  HttpResponseReader::Events& events = *this;
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
  reader_ = nullptr;
  state_.BytesReceived = reader.BodyBytes();

  proxy_auth_offered_ = offered.Text();
  const long receive_error = socket_.LastError();
  const long stream_error = stream.LastError() != 0 ? stream.LastError() : receive_error;
  socket_.Close();
  if (state_.range_refused) {
    ReportError({TransferError::RangeRefused, headers_.StatusCode, 0});
  } else if (reply_failure_) {
    ReportError({ReplyError(receive_error), 0, stream_error});
  }
}
