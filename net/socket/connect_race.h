// A connection to the first of a host's addresses that answers, as RFC 8305 ("Happy
// Eyeballs") describes: the addresses are tried in the given order, the next one beside the
// last when that has not connected within the stagger, or at once when it fails; the first
// connection made wins, and the attempts still pending are closed. So an address that does not
// answer (a broken IPv6 route, a server that is down) delays the next by the stagger alone, not
// by the system's whole connect time-out.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "net/socket/socket_address.h"
#include "net/socket/socket_platform.h"

// Told of each address as its attempt ends, on the connecting thread.
class ConnectObserver {
 public:
  // error: the system's code for the failed attempt.
  virtual void OnAddressFailed(const SocketAddress& address, long error) = 0;
  virtual void OnAddressConnected(const SocketAddress& address) = 0;

 protected:
  ~ConnectObserver() = default;
};

// How long an attempt has alone before the next address's attempt starts beside it.
constexpr int kConnectStaggerMs = 250;
// How often the attempts look whether they were aborted: a cancel ends them this soon.
constexpr int kAbortCheckMs = 20;

struct RaceOutcome {
  SocketHandle handle = kInvalidSocket;  // the connected handle, blocking again; or none
  long error = 0;                        // without a handle: the last failure's code
};

// Races the addresses (at most kMostConnectsAtOnce of them are tried). Ends with the first
// connection; without one when every attempt failed, when the system gave up waiting on one,
// when limit_ms passed since the race began (error: the time-out's code), or when aborted is
// set (then error is 0 and nothing more is reported).
RaceOutcome RaceConnect(const std::vector<SocketAddress>& addresses,
                        const std::atomic<bool>& aborted, ConnectObserver* observer,
                        std::uint32_t limit_ms, int stagger_ms = kConnectStaggerMs);
