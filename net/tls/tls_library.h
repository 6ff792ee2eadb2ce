// The system's TLS (SSPI's Schannel) and certificate (CryptoAPI) functions, taken at run time
// from the system folder. Neither SECUR32 nor CRYPT32 is one of Windows' known DLLs: imported,
// they would be looked for first beside the program, where a planted copy would be loaded.
#pragma once

#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
// windows.h first: the others build on its types.
#include <windows.h>

#include <wincrypt.h>

// SCH_CREDENTIALS and TLS_PARAMETERS, which name TLS 1.3, are declared only with
// SCHANNEL_USE_BLACKLISTS, and use UNICODE_STRING of subauth.h.
#ifndef SCHANNEL_USE_BLACKLISTS
#define SCHANNEL_USE_BLACKLISTS
#endif
#include <subauth.h>

#include <schannel.h>
#include <security.h>

struct TlsLibrary {
  // Whether every function below was found; none may be called otherwise.
  bool loaded = false;
  // SSPI's own table of its functions, as InitSecurityInterfaceA gives it.
  PSecurityFunctionTableA sspi = nullptr;
  decltype(&::CertFindExtension) CertFindExtension = nullptr;
  decltype(&::CryptDecodeObjectEx) CryptDecodeObjectEx = nullptr;
  decltype(&::CertGetCertificateChain) CertGetCertificateChain = nullptr;
  decltype(&::CertVerifyCertificateChainPolicy) CertVerifyCertificateChainPolicy = nullptr;
  decltype(&::CertFreeCertificateChain) CertFreeCertificateChain = nullptr;
  decltype(&::CertDuplicateCertificateChain) CertDuplicateCertificateChain = nullptr;
  decltype(&::CertFreeCertificateContext) CertFreeCertificateContext = nullptr;
  decltype(&::CertCloseStore) CertCloseStore = nullptr;
};

// The functions, loaded on the first call (from any thread); the libraries stay loaded for
// the rest of the process.
const TlsLibrary& Tls();
