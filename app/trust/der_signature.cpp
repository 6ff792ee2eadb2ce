#include "app/trust/der_signature.h"

#include <cstring>

namespace {

constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kInteger = 0x02;
constexpr std::size_t kHalf = 32;

// One INTEGER at `at` into out (right-aligned, 32 bytes); advances at.
bool ReadInteger(const std::string& der, std::size_t* at, std::uint8_t* out) {
  if (*at + 2 > der.size() || static_cast<unsigned char>(der[*at]) != kInteger) return false;
  const std::size_t length = static_cast<unsigned char>(der[*at + 1]);
  const std::size_t start = *at + 2;
  // Both integers fit in short-form lengths; a long form here is not DER.
  if (length == 0 || length > kHalf + 1 || start + length > der.size()) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(der.data() + start);
  if (bytes[0] & 0x80) return false;  // negative
  std::size_t skip = 0;
  if (bytes[0] == 0 && length > 1) {
    if (!(bytes[1] & 0x80)) return false;  // a leading zero that is not needed
    skip = 1;
  }
  const std::size_t value_length = length - skip;
  if (value_length > kHalf) return false;
  std::memset(out, 0, kHalf);
  std::memcpy(out + kHalf - value_length, bytes + skip, value_length);
  bool zero = true;
  for (std::size_t i = 0; i < kHalf; ++i) zero = zero && out[i] == 0;
  *at = start + length;
  return !zero;
}

}  // namespace

std::optional<EcdsaSignature> SignatureFromDer(const std::string& der) {
  if (der.size() < 2 || static_cast<unsigned char>(der[0]) != kSequence) return std::nullopt;
  const std::size_t length = static_cast<unsigned char>(der[1]);
  if (length >= 0x80 || length + 2 != der.size()) return std::nullopt;
  EcdsaSignature signature{};
  std::size_t at = 2;
  if (!ReadInteger(der, &at, signature.data()) ||
      !ReadInteger(der, &at, signature.data() + kHalf) || at != der.size()) {
    return std::nullopt;
  }
  return signature;
}
