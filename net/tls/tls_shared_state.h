// What the TLS connections of one run share, so that each file's connection does not begin
// from nothing: one credentials handle, with which Schannel may resume an earlier session with
// the same server (Windows does; Wine 8 does not), and the server certificates whose chain was
// built and found trusted, so that the same certificate is not chained again. Every connection
// still checks its certificate against its own host name. The connections of a run follow one
// another on threads of their own: a lock guards the state.
#pragma once

#include <vector>

#include "base/critical_section_lock.h"
#include "net/tls/tls_handles.h"

// Acquires client credentials for TLS 1.2, and 1.3 where the system offers it, into
// *credentials: their handle, or null with *status set.
PCredHandle AcquireTlsCredentials(CredentialsHandle* credentials, SECURITY_STATUS* status);

class TlsSharedState {
 public:
  // At most this many chains are kept: a run talks to a few servers.
  static constexpr std::size_t kMostChains = 16;

  TlsSharedState() = default;
  TlsSharedState(const TlsSharedState&) = delete;
  TlsSharedState& operator=(const TlsSharedState&) = delete;

  // The credentials, acquired on the first call; null, with *status set, when they cannot be
  // had (a later call tries again).
  PCredHandle Credentials(SECURITY_STATUS* status);
  // The trusted chain built earlier for this very certificate (the same bytes), or none.
  CertificateChain TrustedChainFor(PCCERT_CONTEXT certificate);
  // Keeps chain, whose trust status holds no error, for its first certificate.
  void RememberTrustedChain(PCCERT_CHAIN_CONTEXT chain);

 private:
  CriticalSectionLock lock_;
  CredentialsHandle credentials_;
  std::vector<CertificateChain> chains_;
};
