// The HTTP/1.1 exchange itself: the request text, and the reading of the reply, whose events
// the request turns into its hooks; the connection kept afterwards when the reply leaves it open.
#include <memory>

#include "net/proxy/proxy_answer.h"
#include "net/request/http_request.h"
#include "net/socket/byte_stream.h"

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
  request += " HTTP/1.1\r\nHost: ";
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
  connection_->socket.EndHeaderDeadline();
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
  state_.stall = connection_->socket.LastStall();
  return TransferError::Stalled;
}

void HttpRequest::Run() {
  const Url& url = state_.url;
  // A mistyped "https" (or one behind invisible bytes) must not fall back to plain HTTP,
  // nor go to a proxy.
  if (!url.HasSupportedScheme()) {
    ReportError({TransferError::UnsupportedScheme, 0, 0});
    return;
  }
  if (url.malformed) {
    ReportError({TransferError::MalformedUrl, 0, 0});
    return;
  }
  if (StopRequested) return;
  const std::string way = Way();
  bool kept = TakeKeptConnection(way);
  for (;;) {
    if (!kept && !OpenConnection()) return;
    if (Exchange(kept, way)) return;
    // The server closed the kept connection as the request went out: it goes again, once, on
    // a new connection.
    kept = false;
    OnKeptConnection(true);
  }
}

bool HttpRequest::Exchange(bool on_kept_connection, const std::string& way) {
  TcpSocket& socket = connection_->socket;
  ByteStream& stream = connection_->Stream();
  const std::string request = FormatRequest();
  if (!stream.SendAll(request.data(), static_cast<int>(request.size()))) {
    const long error = stream.LastError() != 0 ? stream.LastError() : socket.LastError();
    socket.Close();
    if (on_kept_connection && !StopRequested) return false;
    ReportError({TransferError::Send, 0, error});
    return true;
  }
  socket.StartHeaderDeadline();

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
  const long receive_error = socket.LastError();
  const long stream_error = stream.LastError() != 0 ? stream.LastError() : receive_error;
  // A kept connection that the server closed or reset before a byte of the reply is the race
  // every keep-alive client meets; a silent server is no such race.
  if (on_kept_connection && !StopRequested && reply_failure_ && reader.ReceivedNothing() &&
      !IsTimeoutError(receive_error)) {
    socket.Close();
    reply_failure_.reset();
    return false;
  }
  if (pool_ != nullptr && !StopRequested && !reply_failure_ && !state_.range_refused &&
      reader.LeavesConnectionOpen() && stream.Idle()) {
    connection_->way = way;
    connection_->hop = hop_used_;
    std::unique_ptr<Connection> open;
    {
      LockGuard guard(connection_change_);
      open = std::move(connection_);
    }
    pool_->Keep(std::move(open));
  } else {
    socket.Close();
  }
  if (state_.range_refused) {
    ReportError({TransferError::RangeRefused, headers_.StatusCode, 0});
  } else if (reply_failure_) {
    ReportError({ReplyError(receive_error), 0, stream_error});
  }
  return true;
}
