#include "base/file_sha256.h"

#include <windows.h>

#include <wincrypt.h>

#include "base/owned_handle.h"

namespace {
// kSha256, which the headers name only for targets newer than this program's.
constexpr ALG_ID kSha256 = 0x800c;

// A CryptoAPI provider context, released in the destructor.
class CryptProvider {
 public:
  CryptProvider() {
    // The AES provider is the one that has SHA-256; no key container is needed to hash.
    if (!CryptAcquireContextA(&handle_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
      handle_ = 0;
  }
  ~CryptProvider() {
    if (handle_ != 0) CryptReleaseContext(handle_, 0);
  }
  CryptProvider(const CryptProvider&) = delete;
  CryptProvider& operator=(const CryptProvider&) = delete;
  HCRYPTPROV get() const { return handle_; }

 private:
  HCRYPTPROV handle_ = 0;
};

// A hash object, destroyed in the destructor.
class CryptHash {
 public:
  explicit CryptHash(HCRYPTPROV provider) {
    if (provider == 0 || !CryptCreateHash(provider, kSha256, 0, 0, &handle_)) handle_ = 0;
  }
  ~CryptHash() {
    if (handle_ != 0) CryptDestroyHash(handle_);
  }
  CryptHash(const CryptHash&) = delete;
  CryptHash& operator=(const CryptHash&) = delete;
  HCRYPTHASH get() const { return handle_; }

 private:
  HCRYPTHASH handle_ = 0;
};
bool HashValue(HCRYPTHASH hash, std::array<unsigned char, 32>* digest) {
  DWORD size = static_cast<DWORD>(digest->size());
  return CryptGetHashParam(hash, HP_HASHVAL, digest->data(), &size, 0) && size == digest->size();
}
}  // namespace

bool FileSha256(const char* path, std::array<unsigned char, 32>* digest) {
  const OwnedHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.Valid() && FileSha256(file.Get(), digest);
}

bool FileSha256(HANDLE file, std::array<unsigned char, 32>* digest) {
  const LARGE_INTEGER start = {};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
  const CryptProvider provider;
  const CryptHash hash(provider.get());
  if (hash.get() == 0) return false;
  BYTE buffer[64 * 1024];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr)) return false;
    if (read == 0) break;
    if (!CryptHashData(hash.get(), buffer, read, 0)) return false;
  }
  return HashValue(hash.get(), digest);
}

bool BytesSha256(const void* data, std::size_t size, std::array<unsigned char, 32>* digest) {
  const CryptProvider provider;
  const CryptHash hash(provider.get());
  const auto* bytes = static_cast<const BYTE*>(data);
  while (hash.get() != 0 && size > 0) {
    const DWORD part = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    if (!CryptHashData(hash.get(), bytes, part, 0)) return false;
    bytes += part;
    size -= part;
  }
  return hash.get() != 0 && HashValue(hash.get(), digest);
}
