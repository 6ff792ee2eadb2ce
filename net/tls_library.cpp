#include "net/tls_library.h"

#include <cstring>

namespace {
// By its full path in the system folder, which works on every Windows (the search flag
// LOAD_LIBRARY_SEARCH_SYSTEM32 needs an update on Windows 7).
HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  const std::size_t name_length = std::strlen(name);
  if (length == 0 || length + 1 + name_length + 1 > MAX_PATH) return nullptr;
  path[length] = '\\';
  std::memcpy(path + length + 1, name, name_length + 1);
  return LoadLibraryA(path);
}

template <typename Function>
bool Find(HMODULE library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return *function != nullptr;
}

TlsLibrary Load() {
  TlsLibrary tls;
  const HMODULE secur32 = LoadSystemLibrary("secur32.dll");
  const HMODULE crypt32 = LoadSystemLibrary("crypt32.dll");
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
