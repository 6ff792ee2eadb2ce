#include "app/trust/partner_signature.h"

#include <cstring>

#include "app/trust/trust_library.h"
#include "base/file_sha256.h"

PartnerKeys::PartnerKeys(const std::vector<PartnerPublicKey>& keys) {
  const TrustLibrary& cng = Trust();
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!cng.cng ||
      cng.BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) != 0) {
    return;
  }
  algorithm_ = algorithm;
  for (const PartnerPublicKey& key : keys) {
    unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob, &header, sizeof header);
    std::memcpy(blob + sizeof header, key.point.data(), key.point.size());
    BCRYPT_KEY_HANDLE handle = nullptr;
    if (cng.BCryptImportKeyPair(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &handle, blob,
                                sizeof blob, 0) != 0) {
      continue;
    }
    Sha256Digest id{};
    const std::string der = SubjectPublicKeyInfo(key);
    if (!BytesSha256(der.data(), der.size(), &id)) {
      cng.BCryptDestroyKey(handle);
      continue;
    }
    handles_.push_back(handle);
    ids_.push_back(DigestText(id).substr(0, 16));
  }
}

PartnerKeys::~PartnerKeys() {
  for (void* handle : handles_) Trust().BCryptDestroyKey(handle);
  if (algorithm_ != nullptr) Trust().BCryptCloseAlgorithmProvider(algorithm_, 0);
}

std::optional<std::size_t> PartnerKeys::Verify(const Sha256Digest& digest,
                                               const EcdsaSignature& signature) const {
  for (std::size_t i = 0; i < handles_.size(); ++i) {
    Sha256Digest hash = digest;
    EcdsaSignature copy = signature;  // the call takes non-const buffers
    if (Trust().BCryptVerifySignature(handles_[i], nullptr, hash.data(), hash.size(), copy.data(),
                                      copy.size(), 0) == 0) {
      return i;
    }
  }
  return std::nullopt;
}

std::string CheckFileSignature(const PartnerKeys& keys, HANDLE file, const std::string& der,
                               std::string* key_id) {
  const std::optional<EcdsaSignature> signature = SignatureFromDer(der);
  if (!signature) return "the signature is not a DER ECDSA signature";
  Sha256Digest digest{};
  if (!FileSha256(file, &digest)) return "the file cannot be read";
  const std::optional<std::size_t> key = keys.Verify(digest, *signature);
  if (!key) return "the signature is not one of the partner's keys over these bytes";
  *key_id = keys.KeyId(*key);
  return std::string();
}
