// Every time limit of the program's network work, in one place: a server, proxy or script host
// that stops answering, or answers too slowly ever to finish, must end a run in bounded time,
// unattended runs included, and a user must see that the program waits.
#pragma once

#include <cstdint>

struct TransferLimits {
  // A server that does not take the connection within this time is not there (Windows itself
  // gives up after about 21 s, Linux after about two minutes).
  std::uint32_t connect_ms = 20000;
  // Once connected, a server that sends no byte for this long has stopped: three tries of a
  // silent server end within about two minutes.
  std::uint32_t silence_ms = 30000;
  // A server that sends fewer than rate_min_bytes bytes (headers, TLS and tunnel answers
  // included) in any window of rate_window_ms trickles: it may never finish, and each byte
  // would reset a silence limit.
  std::uint32_t rate_window_ms = 30000;
  std::uint32_t rate_min_bytes = 1024;
  // From the request's last byte sent to the end of the reply's header block (or of a proxy's
  // answer to CONNECT): a server that sends its header lines at the minimum rate would
  // otherwise hold a try for minutes before the header block's size cap.
  std::uint32_t header_ms = 30000;
  // After this much silence the page says that the program waits for the server, so that a
  // silent server does not look like a hung program.
  std::uint32_t waiting_notice_ms = 5000;
};

// Why a receive gave up on its peer.
enum class Stall : std::uint8_t {
  None,
  Silent,      // no byte within silence_ms
  TooSlow,     // fewer than rate_min_bytes within rate_window_ms
  HeaderLate,  // no whole header block within header_ms
};

// The proxy auto-config lookup (WinHTTP fetching and running a script): each of its name
// lookup, connect, send and receive may take this long...
constexpr std::uint32_t kProxyLookupStepMs = 10000;
// ...and the whole lookup this long, for a script server that trickles: then it is abandoned
// and the run goes direct, as for a script that cannot be fetched.
constexpr std::uint32_t kProxyLookupLimitMs = 30000;
