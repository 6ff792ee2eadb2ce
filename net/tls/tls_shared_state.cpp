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

// Whether the system's Schannel is a TLS 1.3 client: Windows 11 and Server 2022 (build 20348)
// on. Windows 10 has it only as an experiment, off unless turned on, with known failures. The
// program's manifest names Windows 10, so the version is the real one.
bool SystemOffersTls13() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&version)) return false;
#pragma GCC diagnostic pop
  return version.dwMajorVersion > 10 ||
         (version.dwMajorVersion == 10 && version.dwBuildNumber >= 20348);
}
}  // namespace

PCredHandle AcquireTlsCredentials(CredentialsHandle* credentials, SECURITY_STATUS* status) {
  constexpr DWORD kFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  // SCH_CREDENTIALS (Windows 10 1809 on) name the protocols they turn off; TLS 1.3 stays on
  // only where the system offers it.
  TLS_PARAMETERS parameters{};
  parameters.grbitDisabledProtocols =
      ~(SP_PROT_TLS1_2_CLIENT | (SystemOffersTls13() ? SP_PROT_TLS1_3_CLIENT : 0));
  SCH_CREDENTIALS current{};
  current.dwVersion = SCH_CREDENTIALS_VERSION;
  current.dwFlags = kFlags;
  current.cTlsParameters = 1;
  current.pTlsParameters = &parameters;
  // An older Schannel refuses them: SCHANNEL_CRED, which every one knows, with TLS 1.2.
  SCHANNEL_CRED older{};
  older.dwVersion = SCHANNEL_CRED_VERSION;
  older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  older.dwFlags = kFlags;
  for (void* data : {static_cast<void*>(&current), static_cast<void*>(&older)}) {
    *status = Tls().sspi->AcquireCredentialsHandleA(nullptr, const_cast<SEC_CHAR*>(UNISP_NAME_A),
                                                    SECPKG_CRED_OUTBOUND, nullptr, data, nullptr,
                                                    nullptr, credentials->Fill(), nullptr);
    if (*status == SEC_E_OK) {
      credentials->Own();
      return credentials->Get();
    }
  }
  return nullptr;
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
