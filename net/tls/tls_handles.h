// Owners of what the TLS client takes from SSPI and CryptoAPI: each one frees its handle in
// its destructor, with the call that matches how it was obtained.
#pragma once

#include <memory>

#include "net/tls/tls_library.h"

// An SSPI handle: credentials or a security context. It is owned once the call that filled
// it has succeeded.
template <typename Free>
class SspiHandle {
 public:
  SspiHandle() = default;
  ~SspiHandle() { Reset(); }
  SspiHandle(const SspiHandle&) = delete;
  SspiHandle& operator=(const SspiHandle&) = delete;

  // The handle, or null while none is owned: what the calls that take an existing one expect.
  PSecHandle Get() { return owned_ ? &handle_ : nullptr; }
  // Where a call that creates the handle puts it (an owned one is freed first); Own() once
  // that call has succeeded.
  PSecHandle Fill() {
    Reset();
    return &handle_;
  }
  void Own() { owned_ = true; }
  void Reset() {
    if (owned_) Free()(&handle_);
    owned_ = false;
  }

 private:
  SecHandle handle_{};
  bool owned_ = false;
};

struct FreeCredentials {
  void operator()(PSecHandle handle) const { Tls().sspi->FreeCredentialsHandle(handle); }
};
struct DeleteContext {
  void operator()(PSecHandle handle) const { Tls().sspi->DeleteSecurityContext(handle); }
};
using CredentialsHandle = SspiHandle<FreeCredentials>;
using SecurityContext = SspiHandle<DeleteContext>;

struct FreeSspiBuffer {
  void operator()(void* buffer) const { Tls().sspi->FreeContextBuffer(buffer); }
};
// A buffer that SSPI allocated for its caller (ISC_REQ_ALLOCATE_MEMORY).
using SspiBuffer = std::unique_ptr<void, FreeSspiBuffer>;

struct FreeCertificateContext {
  void operator()(PCCERT_CONTEXT context) const { Tls().CertFreeCertificateContext(context); }
};
using CertificateContext = std::unique_ptr<const CERT_CONTEXT, FreeCertificateContext>;

struct FreeCertificateChain {
  void operator()(PCCERT_CHAIN_CONTEXT chain) const { Tls().CertFreeCertificateChain(chain); }
};
using CertificateChain = std::unique_ptr<const CERT_CHAIN_CONTEXT, FreeCertificateChain>;

struct CloseCertificateStore {
  void operator()(HCERTSTORE store) const { Tls().CertCloseStore(store, 0); }
};
using CertificateStore = std::unique_ptr<void, CloseCertificateStore>;

struct FreeLocalMemory {
  void operator()(void* memory) const { LocalFree(memory); }
};
// Memory that CryptoAPI allocated for its caller (CRYPT_DECODE_ALLOC_FLAG and the like).
using LocalMemory = std::unique_ptr<void, FreeLocalMemory>;
