// Adds a CA certificate to the machine's trusted roots (the LocalMachine "Root" store), so that
// a test prefix trusts the servers whose certificates that CA signed.
//
//   add_root_cert.exe FILE
//
// FILE holds one certificate, PEM ("-----BEGIN CERTIFICATE-----") or DER. Exit code 0 when
// the certificate is in the store afterwards (also when it already was), 1 otherwise.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "net/tls/tls_handles.h"

namespace {
// The DER bytes of the file's certificate: the PEM block decoded, or the file as it is.
bool ReadCertificate(const char* path, std::vector<BYTE>* der) {
  std::ifstream file(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (!file.good() && !file.eof()) return false;
  if (text.find("-----BEGIN") == std::string::npos) {
    der->assign(text.begin(), text.end());
    return !der->empty();
  }
  DWORD size = 0;
  const DWORD length = static_cast<DWORD>(text.size());
  if (!CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                            nullptr)) {
    return false;
  }
  der->resize(size);
  return CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64HEADER, der->data(), &size,
                              nullptr, nullptr) != FALSE;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: add_root_cert FILE\n");
    return 1;
  }
  std::vector<BYTE> der;
  if (!ReadCertificate(argv[1], &der)) {
    std::fprintf(stderr, "add_root_cert: no certificate in %s\n", argv[1]);
    return 1;
  }
  const CertificateStore store(
      CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root"));
  if (!store) {
    std::fprintf(stderr, "add_root_cert: cannot open the Root store (%lu)\n", GetLastError());
    return 1;
  }
  if (!CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(),
                                        static_cast<DWORD>(der.size()),
                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
    std::fprintf(stderr, "add_root_cert: cannot add the certificate (0x%08lx)\n", GetLastError());
    return 1;
  }
  return 0;
}
