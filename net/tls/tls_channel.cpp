#include "net/tls/tls_channel.h"

#include <cstdint>
#include <cstring>

#include "net/socket/socket_address.h"
#include "net/tls/tls_certificate_check.h"
#include "net/tls/tls_shared_state.h"

namespace {
// Schannel checks no certificate itself (the check here is stricter and explicit), and
// allocates the handshake tokens it hands out.
constexpr unsigned long kRequestFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                        ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY |
                                        ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;

constexpr DWORD kAcceptedProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;

// The content type of a TLS record that carries an alert.
constexpr unsigned char kAlertContentType = 21;

// Where [inner, inner + inner_size) lies inside [outer, outer + outer_size): its offset, or
// false when it does not lie there.
bool OffsetInside(const void* outer, std::size_t outer_size, const void* inner,
                  std::size_t inner_size, std::size_t* offset) {
  const auto begin = reinterpret_cast<std::uintptr_t>(outer);
  const auto position = reinterpret_cast<std::uintptr_t>(inner);
  if (position < begin || position - begin > outer_size) return false;
  *offset = position - begin;
  return inner_size <= outer_size - *offset;
}
}  // namespace

TlsChannel::TlsChannel(TcpSocket& socket, TlsSharedState* shared)
    : socket_(socket), shared_(shared), request_flags_(kRequestFlags) {}

TlsChannel::~TlsChannel() = default;

bool TlsChannel::Fail(long error) {
  last_error_ = error;
  ready_ = false;
  return false;
}

SEC_CHAR* TlsChannel::TargetName() {
  return host_is_address_ || host_.empty() ? nullptr : &host_[0];
}

bool TlsChannel::AcquireCredentials() {
  SECURITY_STATUS status = SEC_E_OK;
  credentials_ = shared_ != nullptr ? shared_->Credentials(&status)
                                    : AcquireTlsCredentials(&own_credentials_, &status);
  return credentials_ != nullptr || Fail(status);
}

bool TlsChannel::SendToken(const SecBuffer& token) {
  if (token.cbBuffer == 0 || token.pvBuffer == nullptr) return true;
  if (!socket_.SendAll(static_cast<const char*>(token.pvBuffer),
                       static_cast<int>(token.cbBuffer))) {
    return Fail(0);
  }
  return true;
}

bool TlsChannel::Handshake(const char* host) {
  if (context_.Get() != nullptr) return Fail(SEC_E_INVALID_HANDLE);  // one handshake a channel
  if (!Tls().loaded) return Fail(SEC_E_SECPKG_NOT_FOUND);
  host_ = host != nullptr ? host : "";
  host_is_address_ = !AddressBytesOf(host_).empty();
  if (!AcquireCredentials()) return false;

  // The first step has nothing to read: it makes the ClientHello.
  SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc out_desc{SECBUFFER_VERSION, 1, &out};
  unsigned long attributes = 0;
  const SECURITY_STATUS status = Tls().sspi->InitializeSecurityContextA(
      credentials_, nullptr, TargetName(), request_flags_, 0, 0, nullptr, 0, context_.Fill(),
      &out_desc, &attributes, nullptr);
  const SspiBuffer token(out.pvBuffer);
  if (status != SEC_I_CONTINUE_NEEDED) return Fail(status);
  context_.Own();
  if (!SendToken(out) || !records_.Negotiate(*this, true)) {
    ready_ = false;
    return false;
  }
  return CheckConnection();
}

TlsRecordPeer::Step TlsChannel::HandshakeStep(char* input, std::size_t size, std::size_t* extra) {
  SECURITY_STATUS status;
  SecBuffer in[2];
  SecBuffer out;
  for (int attempt = 0;; ++attempt) {
    in[0] = {static_cast<unsigned long>(size), SECBUFFER_TOKEN, input};
    in[1] = {0, SECBUFFER_EMPTY, nullptr};
    out = {0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc in_desc{SECBUFFER_VERSION, 2, in};
    SecBufferDesc out_desc{SECBUFFER_VERSION, 1, &out};
    unsigned long attributes = 0;
    status = Tls().sspi->InitializeSecurityContextA(credentials_, context_.Get(), TargetName(),
                                                    request_flags_, 0, 0, &in_desc, 0, nullptr,
                                                    &out_desc, &attributes, nullptr);
    // A server that asks for a client certificate gets none: the same input again, once,
    // with the (empty) credentials as they are.
    if (status != SEC_I_INCOMPLETE_CREDENTIALS || attempt > 0) break;
    const SspiBuffer unused(out.pvBuffer);
    request_flags_ |= ISC_REQ_USE_SUPPLIED_CREDS;
  }
  const SspiBuffer token(out.pvBuffer);
  if (status == SEC_E_INCOMPLETE_MESSAGE) return Step::kIncomplete;
  if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
    Fail(status);
    return Step::kFailed;
  }
  if (!SendToken(out)) return Step::kFailed;
  *extra = in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0;
  return status == SEC_E_OK ? Step::kDone : Step::kContinue;
}

bool TlsChannel::CheckConnection() {
  SecPkgContext_ConnectionInfo info{};
  SECURITY_STATUS status =
      Tls().sspi->QueryContextAttributesA(context_.Get(), SECPKG_ATTR_CONNECTION_INFO, &info);
  if (status != SEC_E_OK) return Fail(status);
  // The credentials enable nothing older; a system that negotiates it all the same is not
  // believed.
  if ((info.dwProtocol & kAcceptedProtocols) == 0) return Fail(SEC_E_UNSUPPORTED_FUNCTION);
  tls13_ = (info.dwProtocol & SP_PROT_TLS1_3_CLIENT) != 0;

  PCCERT_CONTEXT raw_certificate = nullptr;
  status = Tls().sspi->QueryContextAttributesA(context_.Get(), SECPKG_ATTR_REMOTE_CERT_CONTEXT,
                                               &raw_certificate);
  const CertificateContext certificate(raw_certificate);
  if (status != SEC_E_OK) return Fail(status);
  if (!certificate) return Fail(SEC_E_CERT_UNKNOWN);
  const long refused = CheckServerCertificate(certificate.get(), host_.c_str(), shared_);
  if (refused != 0) return Fail(refused);

  status = Tls().sspi->QueryContextAttributesA(context_.Get(), SECPKG_ATTR_STREAM_SIZES, &sizes_);
  if (status != SEC_E_OK) return Fail(status);
  if (sizes_.cbMaximumMessage == 0) return Fail(SEC_E_INTERNAL_ERROR);
  send_buffer_.assign(sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer, '\0');
  ready_ = true;
  return true;
}

bool TlsChannel::SendAll(const char* bytes, int length) {
  if (!ready_ || length < 0) return false;
  while (length > 0) {
    const unsigned long piece = static_cast<unsigned long>(length) < sizes_.cbMaximumMessage
                                    ? length
                                    : sizes_.cbMaximumMessage;
    char* const header = send_buffer_.data();
    char* const data = header + sizes_.cbHeader;
    std::memcpy(data, bytes, piece);
    SecBuffer buffers[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, header},
                            {piece, SECBUFFER_DATA, data},
                            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, data + piece},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = Tls().sspi->EncryptMessage(context_.Get(), 0, &desc, 0);
    if (status != SEC_E_OK) return Fail(status);
    // Header, data and trailer are sent as one run, so that the record leaves in one send;
    // a part that came out shorter than its room leaves a gap that is closed here.
    std::size_t record = 0;
    for (int i = 0; i < 3; ++i) {
      if (buffers[i].cbBuffer == 0) continue;
      std::size_t offset;
      if (!OffsetInside(header, send_buffer_.size(), buffers[i].pvBuffer, buffers[i].cbBuffer,
                        &offset) ||
          offset < record) {
        return Fail(SEC_E_INTERNAL_ERROR);
      }
      std::memmove(header + record, header + offset, buffers[i].cbBuffer);
      record += buffers[i].cbBuffer;
    }
    if (!socket_.SendAll(header, static_cast<int>(record))) return Fail(0);
    bytes += piece;
    length -= static_cast<int>(piece);
  }
  return true;
}

int TlsChannel::Receive(char* buffer, int capacity) {
  if (!ready_) return -1;
  return records_.Read(*this, buffer, capacity);
}

int TlsChannel::ReceiveCiphertext(char* buffer, int capacity) {
  const int received = socket_.Receive(buffer, capacity);
  if (received <= 0) last_error_ = 0;
  return received;
}

TlsRecordPeer::Decrypted TlsChannel::DecryptRecord(char* record, std::size_t size,
                                                   std::size_t* offset, std::size_t* length) {
  // Read before the record is decrypted in place.
  const bool alert = size > 0 && static_cast<unsigned char>(record[0]) == kAlertContentType;
  SecBuffer buffers[4] = {{static_cast<unsigned long>(size), SECBUFFER_DATA, record},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
  const SECURITY_STATUS status = Tls().sspi->DecryptMessage(context_.Get(), &desc, 0, nullptr);
  if (status == SEC_I_CONTEXT_EXPIRED) return Decrypted::kClosed;
  // Under TLS 1.3 Schannel says this of a session ticket or a key update, which goes back to
  // InitializeSecurityContext. Under TLS 1.2 it is a renegotiation, which this client takes no
  // part in: it ends the stream at once, as waiting for more would wait for the stall limit.
  if (status == SEC_I_RENEGOTIATE) {
    if (tls13_) return Decrypted::kPostHandshake;
    last_error_ = status;
    return Decrypted::kRenegotiate;
  }
  if (status != SEC_E_OK) {
    last_error_ = status;
    return Decrypted::kFailed;
  }
  *offset = 0;
  *length = 0;
  for (const SecBuffer& buffer : buffers) {
    // One whole record went in, so nothing may be left over; the plaintext lies in place.
    const bool left_over = buffer.BufferType == SECBUFFER_EXTRA && buffer.cbBuffer > 0;
    const bool plaintext = buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0;
    if (left_over ||
        (plaintext && !OffsetInside(record, size, buffer.pvBuffer, buffer.cbBuffer, offset))) {
      last_error_ = SEC_E_INTERNAL_ERROR;
      return Decrypted::kFailed;
    }
    if (plaintext) *length = buffer.cbBuffer;
  }
  // Windows reports the close_notify as SEC_I_CONTEXT_EXPIRED; Wine's Schannel as an alert
  // record that decrypts to nothing. Either way an alert that passed decryption came from the
  // server itself (a fatal one fails), so the stream has ended with its word, at once, even
  // while the connection stays open.
  if (alert && *length == 0) return Decrypted::kClosed;
  return Decrypted::kData;
}
