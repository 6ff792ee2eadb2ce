// How one transfer ended: the kind of failure, the server's status beside it and the system's
// code for it. What the program makes of it (messages, exit codes) is its own business.
#pragma once

#include <cstdint>

enum class TransferError : std::uint8_t {
  None,           // completed, or ended on the owner's request (Stop, Abort, a refused block)
  Resolve,        // the host name could not be resolved
  Connect,        // no connection could be made: refused, unreachable, not within its limit
  TlsRefused,     // the TLS handshake failed or the server's certificate was refused
  Send,           // the request could not be sent
  CutShort,       // the reply ended before its first byte, its header block or its length
  Malformed,      // the header block cannot be read: no status, a bad length, too long, a NUL
  Stalled,        // the server fell silent or trickled beyond the transfer's limits
  ReceiveFailed,  // the connection broke (a reset) while the reply was read
  HttpStatus,     // the server answered with a status other than 200
  // The proxy wants credentials (407), to the request or to the tunnel's CONNECT.
  ProxyAuthRequired,
  // The URL names a scheme other than http and https: nothing was sent.
  UnsupportedScheme,
  // The URL cannot be fetched as written (no host, a bad host or port): nothing was sent.
  MalformedUrl,
  // Asked for the rest of a file, the server answered with another part or version of it (a
  // 206 that does not continue the file, or 416).
  RangeRefused,
  // A redirect that is not followed: to plain http from https, or to a URL that is not http or
  // https with a host. Nothing is sent there.
  RedirectRefused,
  // A redirect whose Location is empty, longer than 2,048 bytes or holds control bytes.
  RedirectMalformed,
  // A redirect after the last one a try follows.
  TooManyRedirects,
};

struct TransferResult {
  TransferError error = TransferError::None;
  // With HttpStatus, ProxyAuthRequired, RangeRefused and the redirects' errors.
  std::int32_t http_status = 0;
  // The system's code: a socket error, an SSPI status or a certificate check's code, the
  // name lookup's error; 0 when the failure has none (a reply cut short by a close).
  long system_error = 0;

  bool Succeeded() const { return error == TransferError::None; }
};

// The error's name, as a log prints it ("CutShort").
const char* TransferErrorName(TransferError error);
