#include "net/tls/tls_shared_state.h"

#include <cstring>

namespace {
// The server's own certificate: the first of the chain's first simple chain.
PCCERT_CONTEXT EndCertificateOf(PCCERT_CHAIN_CONTEXT chain) {
  if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return nullptr;
  return chain->rgpChain[0]->rgpElement[0]->pCertContext;
}

bool SameBytes(PCCERT_CONTEXT a, PCCERT_CONTEXT b) {
  return a != nullptr && b != nullptr && a->cbCertEncoded == b->cbCertEncoded &&
         std::memcmp(a->pbCertEncoded, b->pbCertEncoded, a->cbCertEncoded) == 0;
}
}  // namespace

PCredHandle AcquireTlsCredentials(CredentialsHandle* credentials, SECURITY_STATUS* status) {
  // SCHANNEL_CRED is what every Schannel knows. TLS 1.3 would need SCH_CREDENTIALS and a
  // client that takes part in post-handshake messages; TLS 1.2 alone is enabled here.
  SCHANNEL_CRED data{};
  data.dwVersion = SCHANNEL_CRED_VERSION;
  data.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  data.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  *status = Tls().sspi->AcquireCredentialsHandleA(nullptr, const_cast<SEC_CHAR*>(UNISP_NAME_A),
                                                  SECPKG_CRED_OUTBOUND, nullptr, &data, nullptr,
                                                  nullptr, credentials->Fill(), nullptr);
  if (*status != SEC_E_OK) return nullptr;
  credentials->Own();
  return credentials->Get();
}

PCredHandle TlsSharedState::Credentials(SECURITY_STATUS* status) {
  LockGuard guard(lock_);
  *status = SEC_E_OK;
  if (credentials_.Get() != nullptr) return credentials_.Get();
  return AcquireTlsCredentials(&credentials_, status);
}

CertificateChain TlsSharedState::TrustedChainFor(PCCERT_CONTEXT certificate) {
  LockGuard guard(lock_);
  for (const CertificateChain& chain : chains_) {
    if (SameBytes(EndCertificateOf(chain.get()), certificate)) {
      return CertificateChain(Tls().CertDuplicateCertificateChain(chain.get()));
    }
  }
  return CertificateChain();
}

void TlsSharedState::RememberTrustedChain(PCCERT_CHAIN_CONTEXT chain) {
  if (EndCertificateOf(chain) == nullptr) return;
  LockGuard guard(lock_);
  if (chains_.size() >= kMostChains) return;
  chains_.emplace_back(Tls().CertDuplicateCertificateChain(chain));
}
