// Run against a fuzzed reply stream: a loopback server on this thread serves the reply cut at
// fuzzed points, while the transfer thread reads it. Nothing may crash, the hooks must come in
// a legal order, and the bytes handed to OnData must be the reply's body, in order.
//
// Input: byte 0 chooses HEAD (bit 0) and a cancel after 1 to 3 blocks (bits 1-2, 0 = never);
// byte 1 gives the number of cut points (0-7), the next bytes the cut points; the rest is the
// reply.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net/http_request.h"
#include "net/socket_platform.h"

namespace {
constexpr int kWaitMs = 5000;

// Says which property broke before stopping, so that a failure explains itself.
[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "fuzz_http_run: %s\n", what);
  std::abort();
}

class FuzzRequest : public HttpRequest {
 public:
  explicit FuzzRequest(const std::string& url) : HttpRequest(url.c_str()) {}
  ~FuzzRequest() override { Stop(); }

  int cancel_after = 0;
  std::atomic<bool> finished{false};
  std::string events;
  std::string body;
  std::size_t accepted = 0;  // bytes of the blocks that OnData let through
  int blocks = 0;

  using HttpRequest::BytesReceived;
  using HttpRequest::FormatRequest;

 protected:
  bool OnStart() override {
    events += 'S';
    return true;
  }
  void OnFinish() override {
    events += 'F';
    finished = true;
  }
  void OnError(int code) override {
    events += 'E';
    HttpRequest::OnError(code);
  }
  bool OnData(const char* data, int length) override {
    if (length < 0 || length >= kReceiveBufferSize) Fail("block length out of range");
    events += 'D';
    body.append(data, static_cast<std::size_t>(length));
    if (cancel_after != 0 && ++blocks >= cancel_after) return false;
    accepted += static_cast<std::size_t>(length);
    return true;
  }
};

bool WaitReadable(SocketHandle handle, int timeout_ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(handle, &set);
  timeval timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  return select(static_cast<int>(handle) + 1, &set, nullptr, nullptr, &timeout) > 0;
}

SocketHandle listener = kInvalidSocket;
std::uint16_t port = 0;

void Listen() {
  listener = OpenTcpHandle();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(0x7F000001);
  SocketLength length = sizeof address;
  if (listener == kInvalidSocket ||
      bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 8) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    Fail("cannot listen");
  }
  port = ntohs(address.sin_port);
}

// Serves one connection: reads the request, sends the reply in pieces, closes. False when the
// transfer ended without connecting.
bool Serve(const std::string& reply, const std::vector<std::size_t>& cuts,
           const FuzzRequest& transfer, std::string* request) {
  while (!WaitReadable(listener, 20)) {
    if (transfer.finished) return false;
  }
  SocketHandle client = accept(listener, nullptr, nullptr);
  if (client == kInvalidSocket) Fail("accept failed");
  int on = 1;
  setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  char chunk[1024];
  while (request->find("\n\n") == std::string::npos && WaitReadable(client, kWaitMs)) {
    int n = ReceiveOnce(client, chunk, sizeof chunk);
    if (n <= 0) break;
    request->append(chunk, static_cast<std::size_t>(n));
  }
  std::size_t from = 0;
  for (std::size_t i = 0; i <= cuts.size(); ++i) {
    const std::size_t to = i < cuts.size() ? cuts[i] : reply.size();
    while (from < to) {
      int n = SendOnce(client, reply.data() + from, static_cast<int>(to - from));
      if (n <= 0) break;  // the transfer has ended and closed
      from += static_cast<std::size_t>(n);
    }
    if (from < to) break;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  CloseHandleOfSocket(client);
  return true;
}

// The bytes that OnData may receive, in order: all of a reply that does not begin with
// "HTTP/"; otherwise what follows the header block, when that block fits in the buffer.
std::string ExpectedBody(const std::string& reply) {
  if (reply.compare(0, 5, "HTTP/") != 0) return reply;
  const std::size_t blank = reply.find("\r\n\r\n");
  if (blank == std::string::npos || blank + 4 > HttpRequest::kReceiveBufferSize - 1) return "";
  return reply.substr(blank + 4);
}

bool LegalOrder(const std::string& events) {
  // S, then data blocks, then at most one error, then F.
  if (events.size() < 2 || events.front() != 'S' || events.back() != 'F') return false;
  const std::string middle = events.substr(1, events.size() - 2);
  const std::size_t error = middle.find('E');
  if (middle.find_first_not_of("DE") != std::string::npos) return false;
  return error == std::string::npos || error == middle.size() - 1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > 256 * 1024) return 0;
  if (listener == kInvalidSocket) {
    Listen();
    TcpSocket::SetReceiveTimeoutForTesting(kWaitMs);
  }
  const bool head_only = (data[0] & 1) != 0;
  const int cancel_after = (data[0] >> 1) & 3;
  std::size_t cut_count = data[1] % 8;
  std::size_t offset = 2;
  cut_count = std::min(cut_count, size - offset);
  std::vector<std::size_t> cut_bytes(data + offset, data + offset + cut_count);
  offset += cut_count;
  const std::string reply(reinterpret_cast<const char*>(data) + offset, size - offset);

  std::vector<std::size_t> cuts;
  for (std::size_t byte : cut_bytes) {
    if (!reply.empty()) cuts.push_back(byte * reply.size() / 256);
  }
  std::sort(cuts.begin(), cuts.end());

  FuzzRequest request("http://127.0.0.1:" + std::to_string(port) + "/dir/file.bin");
  request.cancel_after = cancel_after;
  if (!request.Start(head_only)) Fail("start failed");
  std::string received;
  const bool served = Serve(reply, cuts, request, &received);
  request.Wait();

  if (!served) {
    // Loopback ports run short under a long run (TIME_WAIT); only a refused connect may
    // explain a transfer that never arrived.
    if (request.events != "SEF" || request.ResultCode != ErrorConnect) {
      Fail("the transfer ended without a connection and without a refused connect");
    }
    return 0;
  }
  if (received != request.FormatRequest()) Fail("the request differs from FormatRequest");
  if (!LegalOrder(request.events)) Fail(("hooks out of order: " + request.events).c_str());
  if (request.BytesReceived != request.accepted) Fail("BytesReceived differs from the blocks");
  const std::string expected = ExpectedBody(reply);
  if (expected.compare(0, request.body.size(), request.body) != 0 ||
      request.body.size() > expected.size()) {
    Fail("the body is not a prefix of the reply's body");
  }
  // A reply without a length, read to its close without a cancel, arrives whole.
  if (request.events == std::string("S") + std::string(request.events.size() - 2, 'D') + "F" &&
      cancel_after == 0 && reply.compare(0, 5, "HTTP/") != 0 && request.body != reply) {
    Fail(("a reply read to its close arrived incomplete: events " + request.events).c_str());
  }
  return 0;
}
