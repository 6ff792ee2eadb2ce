// Fetches one https URL with TlsChannel over TcpSocket: the program's own Url, request bytes
// and certificate checks, without the wizard around them.
//
//   tls_probe.exe URL OUTFILE [RECEIVE_TIMEOUT_MS]
//   tls_probe.exe --shared URL1 URL2 OUTFILE   (two connections sharing what a run's share)
//
// Writes the reply's body to OUTFILE and prints one line: "ok BYTES", or what failed and the
// channel's LastError in hex. Exit code: 0 the body arrived whole; 1 the host name was not
// resolved; 2 the connection or the TLS handshake failed, or the certificate was refused; 3 the
// request could not be sent; 4 the reply was cut short, stalled or broken; 5 a status other
// than 200; 64 usage.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "net/http/header_map.h"
#include "net/request/http_request.h"
#include "net/socket/socket_address.h"
#include "net/socket/tcp_socket.h"
#include "net/tls/tls_channel.h"
#include "net/tls/tls_shared_state.h"

namespace {
constexpr std::size_t kLongestReply = 64u << 20;

// Lends the request text and the parsed URL of a transfer; it never starts one.
class ProbeRequest : public HttpRequest {
 public:
  using HttpRequest::FormatRequest;
  using HttpRequest::HttpRequest;

 protected:
  bool OnData(const char*, int) override { return false; }
};

int Report(int code, const char* what, long error) {
  std::printf("%s 0x%08lx\n", what, static_cast<unsigned long>(error));
  return code;
}

// The body of a complete reply, once the header block has ended and the announced length (if
// any) has arrived; false while more is needed.
bool BodyOf(const std::string& reply, bool closed, std::string* body, int* status) {
  const std::size_t blank = reply.find("\r\n\r\n");
  if (blank == std::string::npos) return false;
  HeaderMap headers;
  headers.Parse(reply.substr(0, blank).c_str());
  *status = headers.StatusCode;
  const std::string length_text = headers.Lookup("Content-Length");
  const std::size_t start = blank + 4;
  if (length_text.empty()) {
    if (!closed) return false;
    *body = reply.substr(start);
    return true;
  }
  const std::size_t length = std::strtoul(length_text.c_str(), nullptr, 10);
  if (reply.size() - start < length) return false;
  *body = reply.substr(start, length);
  return true;
}

int Fetch(const char* url_text, const char* out_file, const char* timeout_ms,
          TlsSharedState* shared) {
  ProbeRequest request(url_text);
  const Url& url = request.RequestUrl();

  const HostAddresses addresses = ResolveHost(url.Host, url.Port);
  if (addresses.list.empty()) return Report(1, "resolve", 0);
  TcpSocket socket;
  if (timeout_ms != nullptr) {
    TransferLimits limits;
    limits.silence_ms = static_cast<std::uint32_t>(std::atoi(timeout_ms));
    socket.SetLimits(limits);
  }
  if (!socket.Create() || !socket.ConnectToAny(ConnectionOrder(addresses.list), nullptr)) {
    return Report(2, "connect", 0);
  }
  TlsChannel channel(socket, shared);
  if (!channel.Handshake(url.HostName().c_str())) return Report(2, "refused", channel.LastError());
  const std::string text = request.FormatRequest();
  if (!channel.SendAll(text.data(), static_cast<int>(text.size()))) {
    return Report(3, "send", channel.LastError());
  }

  std::string reply;
  std::string body;
  int status = 0;
  char buffer[4096];
  for (;;) {
    const int received = channel.Receive(buffer, sizeof buffer);
    if (received < 0) return Report(4, "broken", channel.LastError());
    if (received > 0) reply.append(buffer, static_cast<std::size_t>(received));
    if (BodyOf(reply, received == 0, &body, &status)) break;
    if (received == 0) return Report(4, "cut", channel.LastError());
    if (reply.size() > kLongestReply) return Report(4, "too long", 0);
  }
  if (status != 200) return Report(5, "status", status);

  std::ofstream out(out_file, std::ios::binary);
  out.write(body.data(), static_cast<std::streamsize>(body.size()));
  if (!out.flush()) return Report(64, "cannot write", 0);
  std::printf("ok %zu\n", body.size());
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--shared") {
    TlsSharedState shared;
    const int first = Fetch(argv[2], argv[4], nullptr, &shared);
    return first != 0 ? first : Fetch(argv[3], argv[4], nullptr, &shared);
  }
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr,
                 "usage: tls_probe URL OUTFILE [RECEIVE_TIMEOUT_MS]\n"
                 "       tls_probe --shared URL1 URL2 OUTFILE\n");
    return 64;
  }
  return Fetch(argv[1], argv[2], argc == 4 ? argv[3] : nullptr, nullptr);
}
