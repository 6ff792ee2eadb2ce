#include "app/trust/authenticode_check.h"

#include <cstdio>
#include <vector>

#include "app/trust/trust_library.h"
#include "base/wide_text.h"

namespace {

// WINTRUST_ACTION_GENERIC_VERIFY_V2 of softpub.h: the Authenticode verification of a file.
constexpr GUID kGenericVerifyV2 = {
    0x00aac56b, 0xcd44, 0x11d0, {0x8c, 0xc2, 0x00, 0xc0, 0x4f, 0xc2, 0x95, 0xee}};

// Chain states that leave a signer trusted: whether its certificates are revoked could not be
// learnt (no network, no revocation list named).
constexpr DWORD kRevocationUnknown =
    CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

std::string Hex(long code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
  return text;
}

// The WinVerifyTrust state of one check, closed in the destructor.
class TrustState {
 public:
  TrustState(HANDLE file, const std::string& path) : path_(Widen(path.c_str())) {
    file_info_.cbStruct = sizeof file_info_;
    file_info_.pcwszFilePath = path_.data();
    file_info_.hFile = file;
    data_.cbStruct = sizeof data_;
    data_.dwUIChoice = WTD_UI_NONE;
    // The chain, revocation included, is checked below, with its own rules for what cannot be
    // learnt offline.
    data_.fdwRevocationChecks = WTD_REVOKE_NONE;
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &file_info_;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = kGenericVerifyV2;
    result_ = Trust().WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data_);
  }
  ~TrustState() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    GUID action = kGenericVerifyV2;
    Trust().WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data_);
  }
  TrustState(const TrustState&) = delete;
  TrustState& operator=(const TrustState&) = delete;

  LONG Result() const { return result_; }
  // The first signer, or null.
  CRYPT_PROVIDER_SGNR* Signer() const {
    CRYPT_PROVIDER_DATA* data = Trust().WTHelperProvDataFromStateData(data_.hWVTStateData);
    return data != nullptr ? Trust().WTHelperGetProvSignerFromChain(data, 0, FALSE, 0) : nullptr;
  }

 private:
  WideText path_;
  WINTRUST_FILE_INFO file_info_{};
  WINTRUST_DATA data_{};
  LONG result_ = 0;
};

std::string CommonName(PCCERT_CONTEXT certificate) {
  char name[256] = {};
  Trust().CertGetNameStringA(certificate, CERT_NAME_ATTR_TYPE, 0,
                             const_cast<char*>(szOID_COMMON_NAME), name, sizeof name);
  return name;
}

// Why the signer's chain is not trusted for code signing at time, or empty.
std::string ChainProblem(PCCERT_CONTEXT signer, FILETIME* time) {
  LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_CODE_SIGNING)};
  CERT_CHAIN_PARA chain_para{};
  chain_para.cbSize = sizeof chain_para;
  chain_para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  chain_para.RequestedUsage.Usage.cUsageIdentifier = 1;
  chain_para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  // The signature's other certificates come with the signer's own store.
  if (!Trust().CertGetCertificateChain(nullptr, signer, time, signer->hCertStore, &chain_para,
                                       CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT, nullptr,
                                       &chain)) {
    return "no chain could be built, error " + Hex(static_cast<long>(GetLastError()));
  }
  std::string problem;
  const DWORD status = chain->TrustStatus.dwErrorStatus & ~kRevocationUnknown;
  if (status & CERT_TRUST_IS_REVOKED) {
    problem = "a certificate of its chain is revoked";
  } else if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                       CERT_TRUST_IS_CYCLIC | CERT_TRUST_IS_EXPLICIT_DISTRUST)) {
    problem = "its chain does not end in a trusted root";
  } else if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) {
    problem = "its certificate does not allow code signing";
  } else if (status & CERT_TRUST_IS_NOT_TIME_VALID) {
    problem = "its certificate was not valid when it signed";
  } else if (status != CERT_TRUST_NO_ERROR) {
    problem = "its chain is not trusted, status " + Hex(static_cast<long>(status));
  } else {
    CERT_CHAIN_POLICY_PARA policy_para{};
    policy_para.cbSize = sizeof policy_para;
    policy_para.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    CERT_CHAIN_POLICY_STATUS policy{};
    policy.cbSize = sizeof policy;
    if (!Trust().CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_BASE, chain, &policy_para,
                                                  &policy)) {
      problem = "its chain cannot be checked, error " + Hex(static_cast<long>(GetLastError()));
    } else if (policy.dwError != 0) {
      problem = "its chain is refused, error " + Hex(static_cast<long>(policy.dwError));
    }
  }
  Trust().CertFreeCertificateChain(chain);
  return problem;
}

}  // namespace

AuthenticodeVerdict CheckAuthenticode(HANDLE file, const std::string& path) {
  AuthenticodeVerdict verdict;
  if (!Trust().authenticode) {
    verdict.reason = "the system offers no Authenticode check";
    return verdict;
  }
  const TrustState state(file, path);
  if (state.Result() != 0) {
    verdict.reason = state.Result() == static_cast<LONG>(TRUST_E_NOSIGNATURE)
                         ? "it carries no Authenticode signature"
                         : "its signature is refused, error " + Hex(state.Result());
    return verdict;
  }
  CRYPT_PROVIDER_SGNR* signer = state.Signer();
  CRYPT_PROVIDER_CERT* certificate =
      signer != nullptr ? Trust().WTHelperGetProvCertFromChain(signer, 0) : nullptr;
  if (certificate == nullptr || certificate->pCert == nullptr) {
    verdict.reason = "its signer cannot be found";
    return verdict;
  }
  verdict.signer = CommonName(certificate->pCert);
  // The time the signature was made, when a time stamp proves it; else (none filled in) now.
  FILETIME* signed_at = &signer->sftVerifyAsOf;
  if (signed_at->dwLowDateTime == 0 && signed_at->dwHighDateTime == 0) signed_at = nullptr;
  verdict.reason = ChainProblem(certificate->pCert, signed_at);
  verdict.trusted = verdict.reason.empty();
  return verdict;
}
