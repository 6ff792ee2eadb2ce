// A misbehaving HTTP server for tests: it accepts one connection on 127.0.0.1 (or several, one
// after the other, each with a script of its own), records the request bytes, then replays a
// script of byte runs with chosen delays (so that they arrive in separate reads), answers the
// requests that follow on the same connection, and ends by closing, holding the connection open,
// or resetting it. Every wait is bounded, so a faulty client cannot hang a test.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "net/socket/socket_platform.h"

struct ScriptStep {
  std::string bytes;
  int delay_ms = 0;  // pause before these bytes are sent
};

enum class ScriptEnd {
  Close,  // orderly close once everything is sent
  Hold,   // keep the connection open until the client closes it, or hold_ms pass
  Reset,  // abort the connection (RST)
};

struct Script {
  std::vector<ScriptStep> steps;
  ScriptEnd end = ScriptEnd::Close;
  int hold_ms = 5000;
  int accept_ms = 10000;  // how long to wait for the client to connect
  // The replies to further requests on the same connection, each sent once its request came
  // (an empty one sends nothing), before the end.
  std::vector<std::string> later_replies = {};
};

// A header and the first bytes of a 100-byte body, then nothing for 8 s, far longer than any
// test waits: the client is left blocked in a receive.
inline Script StallingScript() {
  Script script;
  script.steps.push_back({"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabc", 0});
  script.end = ScriptEnd::Hold;
  script.hold_ms = 8000;
  return script;
}

class ScriptedServer {
 public:
  explicit ScriptedServer(Script script);
  // One connection after the other, each with its script.
  explicit ScriptedServer(std::vector<Script> connections);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::uint16_t Port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by path.
  std::string UrlFor(const std::string& path) const;
  // The request a client sends for path on this server: a GET with a Host line.
  std::string GetRequest(const std::string& path) const;

  // Waits (bounded) for the script to end; then the results below are final.
  void Finish();
  // Every request the first connection brought, in order.
  const std::string& Request() const { return requests_.front(); }
  // The same for each connection accepted.
  const std::vector<std::string>& Requests() const { return requests_; }
  bool Accepted() const { return accepted_; }
  // With ScriptEnd::Hold: whether the client closed the connection before hold_ms passed.
  bool ClientClosedFirst() const { return client_closed_first_; }

  // A port on 127.0.0.1 where nothing listens (bound once, then released).
  static std::uint16_t UnusedPort();

 private:
  void Serve();
  // One connection: its requests and replies; false when none came.
  bool ServeOne(const Script& script, std::string* request);

  std::vector<Script> scripts_;
  SocketHandle listener_ = kInvalidSocket;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::vector<std::string> requests_;
  bool accepted_ = false;
  bool client_closed_first_ = false;
};

// A socket listening on 127.0.0.1 at a free port (*port), or kInvalidSocket. A listener that
// never accepts keeps about backlog + 1 connections waiting; further ones go unanswered.
SocketHandle ListenOnLoopback(std::uint16_t* port, int backlog = 4);

// A port on 127.0.0.1 where a connect gets no answer, as from a host that is down: its listener's
// queue (one long) holds a connection that is never accepted, so further connects wait.
class SilentPort {
 public:
  SilentPort();
  ~SilentPort();
  SilentPort(const SilentPort&) = delete;
  SilentPort& operator=(const SilentPort&) = delete;

  std::uint16_t Port() const { return port_; }

 private:
  SocketHandle listener_ = kInvalidSocket;
  SocketHandle queued_ = kInvalidSocket;
  std::uint16_t port_ = 0;
};

// Whether a socket becomes readable within timeout_ms.
bool WaitReadable(SocketHandle handle, int timeout_ms);
