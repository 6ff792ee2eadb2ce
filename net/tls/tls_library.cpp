#include "net/tls/tls_library.h"

#include "base/system_library.h"

namespace {
TlsLibrary Load() {
  TlsLibrary tls;
  const HMODULE secur32 = LoadSystemLibrary("secur32.dll");
  const HMODULE crypt32 = LoadSystemLibrary("crypt32.dll");
  if (secur32 == nullptr || crypt32 == nullptr) return tls;
  INIT_SECURITY_INTERFACE_A init = nullptr;
  if (!FindFunction(secur32, SECURITY_ENTRYPOINT_ANSIA, &init)) return tls;
  tls.sspi = init();
  tls.loaded =
      tls.sspi != nullptr && FindFunction(crypt32, "CertFindExtension", &tls.CertFindExtension) &&
      FindFunction(crypt32, "CryptDecodeObjectEx", &tls.CryptDecodeObjectEx) &&
      FindFunction(crypt32, "CertGetCertificateChain", &tls.CertGetCertificateChain) &&
      FindFunction(crypt32, "CertVerifyCertificateChainPolicy",
                   &tls.CertVerifyCertificateChainPolicy) &&
      FindFunction(crypt32, "CertFreeCertificateChain", &tls.CertFreeCertificateChain) &&
      FindFunction(crypt32, "CertDuplicateCertificateChain", &tls.CertDuplicateCertificateChain) &&
      FindFunction(crypt32, "CertFreeCertificateContext", &tls.CertFreeCertificateContext) &&
      FindFunction(crypt32, "CertCloseStore", &tls.CertCloseStore);
  return tls;
}
}  // namespace

const TlsLibrary& Tls() {
  static const TlsLibrary library = Load();
  return library;
}
