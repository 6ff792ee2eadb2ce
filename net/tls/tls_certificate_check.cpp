#include "net/tls/tls_certificate_check.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/wide_text.h"
#include "net/socket/socket_address.h"
#include "net/tls/tls_shared_state.h"

namespace {
// SECURITY_FLAG_IGNORE_CERT_CN_INVALID of wininet.h: the policy leaves the name to the caller.
constexpr DWORD kNameCheckedByCaller = 0x00001000;

long LastErrorCode() {
  const DWORD error = GetLastError();
  return error == 0 ? static_cast<long>(CRYPT_E_NOT_FOUND)
                    : static_cast<long>(HRESULT_FROM_WIN32(error));
}

// Whether the certificate's subject alternative names hold this address (4 or 16 bytes).
bool NamesAddress(PCCERT_CONTEXT certificate, const std::string& address) {
  const CERT_INFO* info = certificate->pCertInfo;
  const CERT_EXTENSION* extension =
      Tls().CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
  if (extension == nullptr) return false;
  CERT_ALT_NAME_INFO* names = nullptr;
  DWORD size = 0;
  if (!Tls().CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                                 extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                                 &size)) {
    return false;
  }
  const LocalMemory owner(names);
  for (DWORD i = 0; i < names->cAltEntry; ++i) {
    const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
    if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS &&
        entry.IPAddress.cbData == address.size() &&
        std::memcmp(entry.IPAddress.pbData, address.data(), address.size()) == 0) {
      return true;
    }
  }
  return false;
}

// Why a chain is not to be trusted, from its trust status: 0 when nothing is wrong with it.
// Checked here rather than left to the SSL policy alone, as not every policy implementation
// refuses a chain that ends before a root or a certificate not meant for servers.
long ChainError(DWORD status) {
  static const struct {
    DWORD bits;
    long error;
  } kErrors[] = {
      {CERT_TRUST_IS_NOT_SIGNATURE_VALID, static_cast<long>(TRUST_E_CERT_SIGNATURE)},
      {CERT_TRUST_IS_REVOKED, static_cast<long>(CRYPT_E_REVOKED)},
      {CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_CYCLIC,
       static_cast<long>(CERT_E_UNTRUSTEDROOT)},
      {CERT_TRUST_IS_PARTIAL_CHAIN, static_cast<long>(CERT_E_CHAINING)},
      {CERT_TRUST_IS_NOT_TIME_VALID, static_cast<long>(CERT_E_EXPIRED)},
      {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, static_cast<long>(CERT_E_WRONG_USAGE)},
      {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, static_cast<long>(TRUST_E_BASIC_CONSTRAINTS)},
  };
  for (const auto& entry : kErrors) {
    if (status & entry.bits) return entry.error;
  }
  return status == CERT_TRUST_NO_ERROR ? 0 : static_cast<long>(TRUST_E_FAIL);
}

// The chain from certificate to a root, for server authentication; *error when none can be
// built or it is not to be trusted.
CertificateChain TrustedChain(PCCERT_CONTEXT certificate, long* error) {
  LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA chain_para{};
  chain_para.cbSize = sizeof chain_para;
  chain_para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chain_para.RequestedUsage.Usage.cUsageIdentifier = 1;
  chain_para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT raw_chain = nullptr;
  // The server's other certificates (intermediates) come with the certificate's own store.
  if (!Tls().CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore,
                                     &chain_para, 0, nullptr, &raw_chain)) {
    *error = LastErrorCode();
    return CertificateChain();
  }
  CertificateChain chain(raw_chain);
  *error = ChainError(chain->TrustStatus.dwErrorStatus);
  return *error == 0 ? std::move(chain) : CertificateChain();
}

}  // namespace

long CheckServerCertificate(PCCERT_CONTEXT certificate, const char* host, TlsSharedState* shared) {
  CertificateChain chain = shared != nullptr ? shared->TrustedChainFor(certificate) : nullptr;
  if (!chain) {
    long error = 0;
    chain = TrustedChain(certificate, &error);
    if (!chain) return error;
    if (shared != nullptr) shared->RememberTrustedChain(chain.get());
  }

  // An address host is checked against the certificate's IP addresses below, not as a name.
  const std::string address = AddressBytesOf(host);
  const bool address_host = !address.empty();
  WideText server_name = Widen(host);
  HTTPSPolicyCallbackData ssl_para{};
  ssl_para.cbStruct = sizeof ssl_para;
  ssl_para.dwAuthType = AUTHTYPE_SERVER;
  ssl_para.fdwChecks = address_host ? kNameCheckedByCaller : 0;
  ssl_para.pwszServerName = address_host ? nullptr : server_name.data();
  CERT_CHAIN_POLICY_PARA policy_para{};
  policy_para.cbSize = sizeof policy_para;
  policy_para.pvExtraPolicyPara = &ssl_para;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  if (!Tls().CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy_para,
                                              &status)) {
    return LastErrorCode();
  }
  if (status.dwError != 0) return static_cast<long>(status.dwError);
  if (address_host && !NamesAddress(certificate, address)) {
    return static_cast<long>(CERT_E_CN_NO_MATCH);
  }
  return 0;
}
