#include "app/trust/trust_library.h"

#include "base/system_library.h"

namespace {
TrustLibrary Load() {
  TrustLibrary trust;
  const HMODULE bcrypt = LoadSystemLibrary("bcrypt.dll");
  trust.cng =
      bcrypt != nullptr &&
      FindFunction(bcrypt, "BCryptOpenAlgorithmProvider", &trust.BCryptOpenAlgorithmProvider) &&
      FindFunction(bcrypt, "BCryptCloseAlgorithmProvider", &trust.BCryptCloseAlgorithmProvider) &&
      FindFunction(bcrypt, "BCryptImportKeyPair", &trust.BCryptImportKeyPair) &&
      FindFunction(bcrypt, "BCryptDestroyKey", &trust.BCryptDestroyKey) &&
      FindFunction(bcrypt, "BCryptVerifySignature", &trust.BCryptVerifySignature);
  const HMODULE wintrust = LoadSystemLibrary("wintrust.dll");
  const HMODULE crypt32 = LoadSystemLibrary("crypt32.dll");
  trust.authenticode =
      wintrust != nullptr && crypt32 != nullptr &&
      FindFunction(wintrust, "WinVerifyTrust", &trust.WinVerifyTrust) &&
      FindFunction(wintrust, "WTHelperProvDataFromStateData",
                   &trust.WTHelperProvDataFromStateData) &&
      FindFunction(wintrust, "WTHelperGetProvSignerFromChain",
                   &trust.WTHelperGetProvSignerFromChain) &&
      FindFunction(wintrust, "WTHelperGetProvCertFromChain", &trust.WTHelperGetProvCertFromChain) &&
      FindFunction(crypt32, "CertGetCertificateChain", &trust.CertGetCertificateChain) &&
      FindFunction(crypt32, "CertVerifyCertificateChainPolicy",
                   &trust.CertVerifyCertificateChainPolicy) &&
      FindFunction(crypt32, "CertFreeCertificateChain", &trust.CertFreeCertificateChain) &&
      FindFunction(crypt32, "CertGetNameStringA", &trust.CertGetNameStringA) &&
      FindFunction(crypt32, "CertDuplicateCertificateContext",
                   &trust.CertDuplicateCertificateContext) &&
      FindFunction(crypt32, "CertFreeCertificateContext", &trust.CertFreeCertificateContext) &&
      FindFunction(crypt32, "CertDuplicateStore", &trust.CertDuplicateStore) &&
      FindFunction(crypt32, "CertCloseStore", &trust.CertCloseStore);
  return trust;
}
}  // namespace

const TrustLibrary& Trust() {
  static const TrustLibrary library = Load();
  return library;
}
