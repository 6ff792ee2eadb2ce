#include "net/winsock_session.h"

namespace {
WinsockSession* instance = nullptr;
}

WinsockSession TheWinsockSession;

WinsockSession::WinsockSession() {
  startup_result_ = SocketStartup(&startup_data_);
  instance = this;
}

WinsockSession::~WinsockSession() {
  instance = nullptr;
  // Called even when the start-up failed, as the matching clean-up of that attempt.
  SocketCleanup();
}

bool WinsockSession::IsStarted() {
  queried_ = true;
  return startup_result_ == 0;
}

WinsockSession* WinsockSession::Instance() {
  return instance;
}
