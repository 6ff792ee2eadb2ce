#include "net/socket/winsock_session.h"

namespace {
WinsockSession* instance = nullptr;
}

WinsockSession TheWinsockSession;

WinsockSession::WinsockSession() {
  // A start-up that fails leaves every socket call failing, which the transfers report.
  SocketStartup(&startup_data_);
  instance = this;
}

WinsockSession::~WinsockSession() {
  instance = nullptr;
  // Called even when the start-up failed, as the matching clean-up of that attempt.
  SocketCleanup();
}

WinsockSession* WinsockSession::Instance() {
  return instance;
}
