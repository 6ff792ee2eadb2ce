// The HTTP/1.0 exchange itself: the request text and the reading of the reply.
#include "net/http_request.h"

#include <memory>

#include "net/byte_stream.h"

// Turns what the reader makes of the reply into the request's hooks. A failure is held back
// until the socket is closed, so that the peer is not kept waiting while it is reported.
class HttpRequest::ReplyEvents : public HttpResponseReader::Events {
 public:
  explicit ReplyEvents(HttpRequest& request) : request_(request) {}

  void OnHeaderBlock() override { request_.HeadersDone = true; }
  bool OnBody(const char* data, int length) override {
    if (!request_.OnData(data, length)) return false;
    request_.BytesReceived += static_cast<std::uint32_t>(length);
    return true;
  }
  void OnStatus(int status) override { request_.ReportError(status); }
  void OnComplete() override {}
  void OnFailure(HttpResponseReader::Failure) override { failed = true; }

  bool failed = false;

 private:
  HttpRequest& request_;
};

std::string HttpRequest::FormatRequest() {
  // A Host line without the port, as the package servers have always seen. Lines end in CR LF
  // as HTTP requires: servers that guard against request smuggling refuse a bare LF.
  std::string request = HeadOnly ? "HEAD" : "GET";
  request += ' ';
  request += url.Directory;
  request += url.FileName;
  request += " HTTP/1.0\r\nHost: ";
  request += url.Host;
  request += "\r\n\r\n";
  return request;
}

void HttpRequest::Run() {
  SocketAddress address(url.Host.c_str(), url.Port);
  if (StopRequested) {
    socket.Close();  // a name lookup cannot be broken; a connect after it is not begun
    return;
  }
  if (address.Address() == 0) {
    socket.Close();
    ReportError(ErrorResolve);
    return;
  }
  if (!socket.Connect(address)) {
    socket.Close();
    ReportError(ErrorConnect);
    return;
  }
  // A TLS handshake that fails or a certificate that is refused counts as a failed connect:
  // nothing from that connection is passed on.
  std::unique_ptr<ByteStream> tls;
  if (url.IsHttps() && !(tls = StartTls(socket, url.Host.c_str(), &TlsError))) {
    socket.Close();
    ReportError(ErrorConnect);
    return;
  }
  ByteStream& stream = tls ? *tls : static_cast<ByteStream&>(socket);
  const std::string request = FormatRequest();
  if (!stream.SendAll(request.data(), static_cast<int>(request.size()))) {
    socket.Close();
    ReportError(ErrorSend);
    return;
  }

  BytesReceived = 0;
  ReplyEvents events(*this);
  HttpResponseReader reader(headers, HeadOnly);
  while (!StopRequested && !reader.Finished()) {
    const int received = stream.Receive(reader.Space(), reader.SpaceSize());
    if (StopRequested) break;
    if (received <= 0) {
      reader.End(received < 0 ? HttpResponseReader::Ending::ReceiveFailed
                              : HttpResponseReader::Ending::PeerClosed,
                 events);
      break;
    }
    reader.Received(received, events);
  }

  socket.Close();
  if (events.failed) ReportError(ErrorReceive);
}
