#include "tests/unit/scripted_server.h"

#include <chrono>
#include <cstring>

namespace {
constexpr int kRequestTimeoutMs = 5000;
constexpr std::size_t kRequestLimit = 8 * 1024 * 1024;
}  // namespace

SocketHandle ListenOnLoopback(std::uint16_t* port, int backlog) {
  SocketHandle handle = OpenTcpHandle();
  if (handle == kInvalidSocket) return handle;
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(0x7F000001);  // 127.0.0.1 only
  address.sin_port = 0;
  SocketLength length = sizeof address;
  if (bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(handle, backlog) != 0 ||
      getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CloseHandleOfSocket(handle);
    return kInvalidSocket;
  }
  *port = ntohs(address.sin_port);
  return handle;
}

namespace {

void SendAllBytes(SocketHandle handle, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    int n = SendOnce(handle, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
    if (n <= 0) return;  // the client has gone; the rest of the script is moot
    sent += static_cast<std::size_t>(n);
  }
}
}  // namespace

bool WaitReadable(SocketHandle handle, int timeout_ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(handle, &set);
  timeval timeout;
  timeout.tv_sec = timeout_ms / 1000;
  timeout.tv_usec = (timeout_ms % 1000) * 1000;
  return select(static_cast<int>(handle) + 1, &set, nullptr, nullptr, &timeout) > 0;
}

ScriptedServer::ScriptedServer(Script script)
    : ScriptedServer(std::vector<Script>{std::move(script)}) {}

ScriptedServer::ScriptedServer(std::vector<Script> connections)
    : scripts_(std::move(connections)), requests_(scripts_.size()) {
  listener_ = ListenOnLoopback(&port_);
  if (listener_ != kInvalidSocket) thread_ = std::thread(&ScriptedServer::Serve, this);
}

ScriptedServer::~ScriptedServer() {
  Finish();
}

void ScriptedServer::Finish() {
  if (thread_.joinable()) thread_.join();
  if (listener_ != kInvalidSocket) {
    CloseHandleOfSocket(listener_);
    listener_ = kInvalidSocket;
  }
}

std::string ScriptedServer::UrlFor(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string ScriptedServer::GetRequest(const std::string& path) const {
  return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) + "\r\n\r\n";
}

SilentPort::SilentPort() {
  listener_ = ListenOnLoopback(&port_, 0);
  queued_ = OpenTcpHandle();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(0x7F000001);
  address.sin_port = htons(port_);
  connect(queued_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

SilentPort::~SilentPort() {
  CloseHandleOfSocket(queued_);
  CloseHandleOfSocket(listener_);
}

std::uint16_t ScriptedServer::UnusedPort() {
  std::uint16_t port = 0;
  SocketHandle handle = ListenOnLoopback(&port);
  if (handle != kInvalidSocket) CloseHandleOfSocket(handle);
  return port;
}

void ScriptedServer::Serve() {
  for (std::size_t i = 0; i < scripts_.size(); ++i) {
    if (!ServeOne(scripts_[i], &requests_[i])) return;
  }
}

bool ScriptedServer::ServeOne(const Script& script, std::string* request) {
  if (!WaitReadable(listener_, script.accept_ms)) return false;
  SocketHandle client = accept(listener_, nullptr, nullptr);
  if (client == kInvalidSocket) return false;
  accepted_ = true;
  int on = 1;
  setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);

  // A request ends with an empty line, after CR LF or (from a test's own bytes) a bare LF.
  // Only the bytes that came since the last look (and the 3 before them) are searched: a
  // request of megabytes would otherwise be scanned again after every chunk.
  char chunk[4096];
  const auto read_request = [&] {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
    const std::size_t begin = request->size();
    std::size_t unsearched = begin;
    const auto request_ended = [&] {
      const bool ended = request->find("\r\n\r\n", unsearched) != std::string::npos ||
                         request->find("\n\n", unsearched) != std::string::npos;
      unsearched = request->size() < begin + 3 ? begin : request->size() - 3;
      return ended;
    };
    while (!request_ended() && request->size() - begin < kRequestLimit &&
           std::chrono::steady_clock::now() < deadline) {
      if (!WaitReadable(client, 100)) continue;
      int n = ReceiveOnce(client, chunk, sizeof chunk);
      if (n <= 0) return false;
      request->append(chunk, static_cast<std::size_t>(n));
    }
    return true;
  };
  bool open = read_request();
  for (const ScriptStep& step : script.steps) {
    if (step.delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(step.delay_ms));
    SendAllBytes(client, step.bytes);
  }
  for (const std::string& reply : script.later_replies) {
    open = open && read_request();
    if (open) SendAllBytes(client, reply);
  }

  switch (script.end) {
    case ScriptEnd::Close:
      break;
    case ScriptEnd::Hold: {
      const auto until =
          std::chrono::steady_clock::now() + std::chrono::milliseconds(script.hold_ms);
      while (std::chrono::steady_clock::now() < until) {
        if (!WaitReadable(client, 20)) continue;
        int n = ReceiveOnce(client, chunk, sizeof chunk);
        if (n <= 0) {
          client_closed_first_ = true;
          break;
        }
      }
      break;
    }
    case ScriptEnd::Reset: {
      linger abort_now;
      abort_now.l_onoff = 1;
      abort_now.l_linger = 0;
      setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort_now),
                 sizeof abort_now);
      break;
    }
  }
  CloseHandleOfSocket(client);
  return true;
}
