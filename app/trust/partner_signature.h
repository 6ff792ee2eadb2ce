// The partner's keys in the system's CNG, and the check of a signature made with one of them
// over the SHA-256 of a file's bytes. Our own code only takes the PEM and DER apart; the
// arithmetic is the system's.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "app/inputs/setup_digest.h"
#include "app/trust/der_signature.h"
#include "app/trust/partner_key.h"

class PartnerKeys {
 public:
  // Imports every key; one the system refuses (a point off the curve, say) is left out.
  explicit PartnerKeys(const std::vector<PartnerPublicKey>& keys);
  ~PartnerKeys();
  PartnerKeys(const PartnerKeys&) = delete;
  PartnerKeys& operator=(const PartnerKeys&) = delete;

  std::size_t Count() const { return handles_.size(); }
  // The key's name in the log: the first 16 hexadecimal digits of its SubjectPublicKeyInfo's
  // SHA-256 (`openssl pkey -pubin -outform DER | sha256sum` gives them too).
  const std::string& KeyId(std::size_t index) const { return ids_[index]; }
  // The key under which signature verifies digest; none when no key does.
  std::optional<std::size_t> Verify(const Sha256Digest& digest,
                                    const EcdsaSignature& signature) const;

 private:
  void* algorithm_ = nullptr;   // BCRYPT_ALG_HANDLE
  std::vector<void*> handles_;  // BCRYPT_KEY_HANDLE
  std::vector<std::string> ids_;
};

// Why a file's signature does not hold, or empty when it does: file (held, read from its
// start) is hashed, the DER signature taken apart and checked against every key. key_id gets
// the name of the key that signed.
std::string CheckFileSignature(const PartnerKeys& keys, HANDLE file, const std::string& der,
                               std::string* key_id);
