// The system's signature functions (CNG's BCRYPT, WINTRUST and CRYPT32), taken at run time from
// the system folder: none of them is one of Windows' known DLLs, so imported they would be looked
// for first beside the program, where a planted copy would be loaded.
#pragma once

// windows.h first: the others build on its types.
#include <windows.h>

#include <bcrypt.h>
#include <wincrypt.h>
#include <wintrust.h>

struct TrustLibrary {
  // Whether every function of its group was found; none of a group may be called otherwise.
  bool cng = false;
  bool authenticode = false;
  decltype(&::BCryptOpenAlgorithmProvider) BCryptOpenAlgorithmProvider = nullptr;
  decltype(&::BCryptCloseAlgorithmProvider) BCryptCloseAlgorithmProvider = nullptr;
  decltype(&::BCryptImportKeyPair) BCryptImportKeyPair = nullptr;
  decltype(&::BCryptDestroyKey) BCryptDestroyKey = nullptr;
  decltype(&::BCryptVerifySignature) BCryptVerifySignature = nullptr;
  decltype(&::WinVerifyTrust) WinVerifyTrust = nullptr;
  decltype(&::WTHelperProvDataFromStateData) WTHelperProvDataFromStateData = nullptr;
  decltype(&::WTHelperGetProvSignerFromChain) WTHelperGetProvSignerFromChain = nullptr;
  decltype(&::WTHelperGetProvCertFromChain) WTHelperGetProvCertFromChain = nullptr;
  decltype(&::CertGetCertificateChain) CertGetCertificateChain = nullptr;
  decltype(&::CertVerifyCertificateChainPolicy) CertVerifyCertificateChainPolicy = nullptr;
  decltype(&::CertFreeCertificateChain) CertFreeCertificateChain = nullptr;
  decltype(&::CertGetNameStringA) CertGetNameStringA = nullptr;
  decltype(&::CertDuplicateCertificateContext) CertDuplicateCertificateContext = nullptr;
  decltype(&::CertFreeCertificateContext) CertFreeCertificateContext = nullptr;
  decltype(&::CertDuplicateStore) CertDuplicateStore = nullptr;
  decltype(&::CertCloseStore) CertCloseStore = nullptr;
};

// The functions, loaded on the first call (from any thread); the libraries stay loaded for the
// rest of the process.
const TrustLibrary& Trust();
