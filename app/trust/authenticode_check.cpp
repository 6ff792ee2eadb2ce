#include "app/trust/authenticode_check.h"

#include <cstring>

#include "app/trust/trust_library.h"
#include "base/owned_handle.h"
#include "base/text_format.h"
#include "base/thread.h"
#include "base/wide_text.h"

namespace {

// WINTRUST_ACTION_GENERIC_VERIFY_V2 of softpub.h: the Authenticode verification of a file.
constexpr GUID kGenericVerifyV2 = {
    0x00aac56b, 0xcd44, 0x11d0, {0x8c, 0xc2, 0x00, 0xc0, 0x4f, 0xc2, 0x95, 0xee}};

// Chain states that say whether a certificate is revoked could not be learnt: no source named,
// or none reached.
constexpr DWORD kRevocationUnknown =
    CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

// How often the wait for the lookups looks at the cancel signal.
constexpr DWORD kWaitSliceMs = 50;

// id-ad-ocsp (1.3.6.1.5.5.7.48.1) as DER writes it: an authority information access extension
// that holds it names an OCSP responder.
constexpr char kOcspMethod[] = "\x06\x08\x2b\x06\x01\x05\x05\x07\x30\x01";

std::string Hex(long code) {
  return FormatText("0x%08lX", static_cast<unsigned long>(code));
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
    // learnt.
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

// Where certificate says its revocation is published, for the log; null when it names no place.
const char* RevocationSource(PCCERT_CONTEXT certificate) {
  const CERT_INFO& info = *certificate->pCertInfo;
  for (DWORD i = 0; i < info.cExtension; ++i) {
    const CERT_EXTENSION& extension = info.rgExtension[i];
    if (std::strcmp(extension.pszObjId, szOID_CRL_DIST_POINTS) == 0) {
      return "CRL distribution point";
    }
    const std::string value(reinterpret_cast<const char*>(extension.Value.pbData),
                            extension.Value.cbData);
    if (std::strcmp(extension.pszObjId, szOID_AUTHORITY_INFO_ACCESS) == 0 &&
        value.find(kOcspMethod, 0, sizeof kOcspMethod - 1) != std::string::npos) {
      return "OCSP responder";
    }
  }
  return nullptr;
}

// What the lookups learnt of each certificate of chain that names where its revocation is
// published, added to lookups; and why the chain is refused when one's status stays unknown.
std::string UnconfirmedRevocation(PCCERT_CHAIN_CONTEXT chain, std::string* lookups) {
  std::string problem;
  const CERT_SIMPLE_CHAIN& simple = *chain->rgpChain[0];
  for (DWORD i = 0; i < simple.cElement; ++i) {
    const CERT_CHAIN_ELEMENT& element = *simple.rgpElement[i];
    // The root is trusted as the machine's own: its revocation is nobody's to publish.
    if (element.TrustStatus.dwInfoStatus & CERT_TRUST_IS_SELF_SIGNED) continue;
    const char* source = RevocationSource(element.pCertContext);
    if (source == nullptr) continue;
    const DWORD status = element.TrustStatus.dwErrorStatus;
    const bool unknown = (status & kRevocationUnknown) && !(status & CERT_TRUST_IS_REVOKED);
    const char* learnt = status & CERT_TRUST_IS_REVOKED ? "revoked"
                         : unknown                      ? "unknown"
                                                        : "not revoked";
    const std::string name = CommonName(element.pCertContext);
    *lookups += FormatText("; %s (%s): %s", name.c_str(), source, learnt);
    if (unknown && problem.empty()) {
      problem = FormatText(
          "the revocation of %s cannot be confirmed: its %s cannot be reached or gives no answer",
          name.c_str(), source);
    }
  }
  return problem;
}

// Why the signer's chain is not trusted for code signing at time, or empty. With look_up the
// revocation of its certificates is looked up where they name, within the time limit, and
// lookups tells what was learnt; else only what the system knows already counts.
std::string ChainProblem(PCCERT_CONTEXT signer, const FILETIME* time, bool look_up,
                         std::string* lookups) {
  LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_CODE_SIGNING)};
  CERT_CHAIN_PARA chain_para{};
  chain_para.cbSize = sizeof chain_para;
  chain_para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  chain_para.RequestedUsage.Usage.cUsageIdentifier = 1;
  chain_para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  chain_para.dwUrlRetrievalTimeout = kRevocationLookupLimitMs;
  const DWORD flags = CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                      (look_up ? CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT
                               : CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY);
  FILETIME at{};
  if (time != nullptr) at = *time;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  // The signature's other certificates come with the signer's own store.
  if (!Trust().CertGetCertificateChain(nullptr, signer, time != nullptr ? &at : nullptr,
                                       signer->hCertStore, &chain_para, flags, nullptr, &chain)) {
    return "no chain could be built, error " + Hex(static_cast<long>(GetLastError()));
  }
  const std::string unconfirmed = look_up ? UnconfirmedRevocation(chain, lookups) : "";
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
  } else if (!unconfirmed.empty()) {
    problem = unconfirmed;
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

// One chain's lookups, shared by the thread that makes them and the check that waits for them:
// whichever lets go last frees it. It holds the signer and the signature's store itself, so
// that a check that stopped waiting may close its own.
struct ChainLookup {
  ChainLookup(PCCERT_CONTEXT certificate, const FILETIME* at)
      : signer(Trust().CertDuplicateCertificateContext(certificate)),
        store(Trust().CertDuplicateStore(certificate->hCertStore)),
        at_time(at != nullptr) {
    if (at != nullptr) time = *at;
  }
  ChainLookup(const ChainLookup&) = delete;
  ChainLookup& operator=(const ChainLookup&) = delete;

  void Release() {
    if (InterlockedDecrement(&holders) != 0) return;
    Trust().CertFreeCertificateContext(signer);
    Trust().CertCloseStore(store, 0);
    delete this;
  }

  LONG holders = 2;  // the thread and the check
  PCCERT_CONTEXT signer;
  HCERTSTORE store;
  FILETIME time{};
  bool at_time;
  OwnedHandle done{CreateEventA(nullptr, TRUE, FALSE, nullptr)};  // set once the rest is final
  std::string problem;
  std::string lookups;
};

void RunChainLookup(void* argument) {
  auto* lookup = static_cast<ChainLookup*>(argument);
  lookup->problem = ChainProblem(lookup->signer, lookup->at_time ? &lookup->time : nullptr, true,
                                 &lookup->lookups);
  SetEvent(lookup->done.Get());
  lookup->Release();
}

// ChainProblem with lookups, on a thread of their own: a lookup that cannot be broken is left
// to end by itself when give_up is set or the time limit has passed.
std::string LookedUpChainProblem(PCCERT_CONTEXT signer, const FILETIME* time,
                                 const std::atomic<bool>& give_up, std::string* lookups) {
  auto* lookup = new ChainLookup(signer, time);
  if (!lookup->done.Valid() || !StartDetachedThread(RunChainLookup, lookup)) {
    lookup->Release();
    lookup->Release();
    return "its revocation cannot be looked up";
  }
  const DWORD began = GetTickCount();
  // How the wait ended when the lookups did not: the ending for the log, and the problem.
  const char* ending = nullptr;
  const char* problem = nullptr;
  while (!problem && WaitForSingleObject(lookup->done.Get(), kWaitSliceMs) != WAIT_OBJECT_0) {
    if (give_up) {
      ending = "cancelled";
      problem = "its revocation lookups were cancelled";
    } else if (GetTickCount() - began >= kRevocationLookupLimitMs) {
      ending = "timed out";
      problem = "its revocation lookups timed out";
    }
  }
  *lookups = FormatText("%s after %lu ms", ending != nullptr ? ending : "ended",
                        static_cast<unsigned long>(GetTickCount() - began));
  if (problem == nullptr) {
    *lookups +=
        lookup->lookups.empty() ? "; no certificate names a revocation source" : lookup->lookups;
  }
  std::string why = problem != nullptr ? problem : lookup->problem;
  lookup->Release();
  return why;
}

AuthenticodeVerdict Check(HANDLE file, const std::string& path, const std::atomic<bool>* give_up) {
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
  const FILETIME* signed_at = &signer->sftVerifyAsOf;
  if (signed_at->dwLowDateTime == 0 && signed_at->dwHighDateTime == 0) signed_at = nullptr;
  verdict.reason = give_up != nullptr ? LookedUpChainProblem(certificate->pCert, signed_at,
                                                             *give_up, &verdict.lookups)
                                      : ChainProblem(certificate->pCert, signed_at, false, nullptr);
  verdict.trusted = verdict.reason.empty();
  return verdict;
}

}  // namespace

AuthenticodeVerdict CheckAuthenticode(HANDLE file, const std::string& path) {
  return Check(file, path, nullptr);
}

AuthenticodeVerdict CheckAuthenticodeLookingUp(HANDLE file, const std::string& path,
                                               const std::atomic<bool>& give_up) {
  return Check(file, path, &give_up);
}
