// A TLS client over an already connected TcpSocket, with the system's own TLS (Schannel through
// SSPI): TLS 1.2, and 1.3 where the system offers it, the host name sent as SNI, and the server's
// certificate checked against the machine's trusted roots and the host name before anything is
// passed on. There is no way to skip that check. Every byte goes through the socket, so its receive
// time-out and Abort break a stalled or cancelled handshake or transfer just as they break a plain
// one. One thread uses a channel; the socket stays the caller's.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "net/socket/byte_stream.h"
#include "net/socket/tcp_socket.h"
#include "net/tls/tls_handles.h"
#include "net/tls/tls_record_buffer.h"

class TlsSharedState;

class TlsChannel : public ByteStream, private TlsRecordPeer {
 public:
  // shared: what the run's connections share (credentials, trusted chains), which outlives the
  // channel; without it the channel has credentials of its own.
  explicit TlsChannel(TcpSocket& socket, TlsSharedState* shared = nullptr);
  ~TlsChannel() override;
  TlsChannel(const TlsChannel&) = delete;
  TlsChannel& operator=(const TlsChannel&) = delete;

  // The handshake (one for each channel) with the server that the URL names host. False when
  // it fails, the server's certificate is refused or the connection breaks; the channel cannot
  // be used then.
  bool Handshake(const char* host);
  // Encrypts and sends every byte, in pieces of at most one record; false when one fails.
  bool SendAll(const char* bytes, int length) override;
  // Plaintext as TcpSocket::Receive gives bytes: how many, 0 once the stream has ended (the
  // server's close_notify; or a close between records or a renegotiation request, which
  // EndedWithoutNotice tells), -1 on failure, time-out or abort.
  int Receive(char* buffer, int capacity) override;
  bool EndedWithoutNotice() const override { return records_.EndedWithoutNotice(); }
  bool Idle() const override { return ready_ && records_.Idle(); }

  // Why the last handshake, send or receive failed: an SSPI status or a certificate check's
  // code (see CheckServerCertificate); 0 when the connection itself closed or broke.
  long LastError() const override { return last_error_; }

 private:
  bool AcquireCredentials();
  // The name the handshake sends and Schannel keys its sessions by; none for an address.
  SEC_CHAR* TargetName();
  bool SendToken(const SecBuffer& token);
  // After the handshake: the protocol, the server's certificate and the record sizes.
  bool CheckConnection();
  bool Fail(long error);

  int ReceiveCiphertext(char* buffer, int capacity) override;
  Step HandshakeStep(char* input, std::size_t size, std::size_t* extra) override;
  Decrypted DecryptRecord(char* record, std::size_t size, std::size_t* offset,
                          std::size_t* length) override;

  TcpSocket& socket_;
  TlsSharedState* const shared_;
  std::string host_;
  bool host_is_address_ = false;
  // The credentials the handshake uses: own_credentials_, or the shared ones (own_credentials_
  // then holds none). Declared before the context, which is therefore deleted first.
  CredentialsHandle own_credentials_;
  PCredHandle credentials_ = nullptr;
  SecurityContext context_;
  unsigned long request_flags_;
  TlsRecordBuffer records_;
  SecPkgContext_StreamSizes sizes_{};
  std::vector<char> send_buffer_;
  bool ready_ = false;
  bool tls13_ = false;  // the protocol negotiated: its post-handshake messages are no
                        // renegotiation
  long last_error_ = 0;
};
