#include "net/tls_library.h"

namespace {
template <typename Function>
bool Find(HMODULE library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return *function != nullptr;
}

TlsLibrary Load() {
  TlsLibrary tls;
  const HMODULE secur32 = LoadLibraryExA("secur32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  const HMODULE crypt32 = LoadLibraryExA("crypt32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (secur32 == nullptr || crypt32 == nullptr) return tls;
  INIT_SECURITY_INTERFACE_A init = nullptr;
  if (!Find(secur32, SECURITY_ENTRYPOINT_ANSIA, &init)) return tls;
  tls.sspi = init();
  tls.loaded =
      tls.sspi != nullptr && Find(crypt32, "CertFindExtension", &tls.CertFindExtension) &&
      Find(crypt32, "CryptDecodeObjectEx", &tls.CryptDecodeObjectEx) &&
      Find(crypt32, "CertGetCertificateChain", &tls.CertGetCertificateChain) &&
      Find(crypt32, "CertVerifyCertificateChainPolicy", &tls.CertVerifyCertificateChainPolicy) &&
      Find(crypt32, "CertFreeCertificateChain", &tls.CertFreeCertificateChain) &&
      Find(crypt32, "CertFreeCertificateContext", &tls.CertFreeCertificateContext) &&
      Find(crypt32, "CertCloseStore", &tls.CertCloseStore);
  return tls;
}
}  // namespace

const TlsLibrary& Tls() {
  static const TlsLibrary library = Load();
  return library;
}
