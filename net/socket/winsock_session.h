// Starts Winsock 1.1 before the entry point runs and stops it at process exit.
#pragma once

#include "net/socket/socket_platform.h"

class WinsockSession {
 public:
  WinsockSession();
  ~WinsockSession();
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;

  // The process-wide session, null before its construction ends and after its destruction
  // begins.
  static WinsockSession* Instance();

 private:
  SocketStartupData startup_data_;
};

// The one session of the process.
extern WinsockSession TheWinsockSession;
