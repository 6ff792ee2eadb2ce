// The start of TLS over a connected socket, in any build: without the system's TLS it refuses.
#pragma once

#include <memory>

#include "net/socket/byte_stream.h"

class TcpSocket;
class TlsSharedState;

// TLS over the connected socket, after a handshake with host whose certificate was accepted;
// null when the handshake fails, and always in a build without the system's TLS. *error is
// then why (an SSPI status or a certificate check's code), or 0 when the connection broke.
// shared (may be null): what the run's connections share (tls_shared_state.h).
std::unique_ptr<ByteStream> StartTls(TcpSocket& socket, const char* host, TlsSharedState* shared,
                                     long* error);
