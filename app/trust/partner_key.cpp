#include "app/trust/partner_key.h"

#include <cstring>

namespace {

constexpr char kBegin[] = "-----BEGIN ";
constexpr char kEnd[] = "-----END ";
constexpr char kDashes[] = "-----";
constexpr char kPublicKeyLabel[] = "PUBLIC KEY";

// DER is canonical, and a P-256 key names its curve: every SubjectPublicKeyInfo of such a key
// with an uncompressed point is these 27 bytes (SEQUENCE, the algorithm ecPublicKey with the
// curve prime256v1, the BIT STRING's header and the 0x04 of an uncompressed point) followed by
// X and Y. Comparing them is the whole of a strict parse.
constexpr unsigned char kP256Prefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                         0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                         0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};
constexpr std::size_t kP256KeySize = sizeof kP256Prefix + 64;

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool KeyFromDer(const std::string& der, PartnerPublicKey* key) {
  if (der.size() != kP256KeySize || std::memcmp(der.data(), kP256Prefix, sizeof kP256Prefix) != 0) {
    return false;
  }
  std::memcpy(key->point.data(), der.data() + sizeof kP256Prefix, key->point.size());
  key->der = der;
  return true;
}

// The label of an encapsulation boundary line "-----BEGIN label-----" (or END) starting at
// `at`, and the position after it; false when the line is no such boundary.
bool Boundary(const std::string& text, std::size_t at, const char* kind, std::string* label,
              std::size_t* after) {
  const std::size_t kind_length = std::strlen(kind);
  if (text.compare(at, kind_length, kind) != 0) return false;
  const std::size_t label_start = at + kind_length;
  const std::size_t close = text.find(kDashes, label_start);
  const std::size_t line_end = text.find('\n', label_start);
  if (close == std::string::npos || close > line_end) return false;
  *label = text.substr(label_start, close - label_start);
  *after = close + sizeof kDashes - 1;
  return true;
}

}  // namespace

bool DecodeBase64(const std::string& text, std::string* bytes) {
  bytes->clear();
  unsigned buffer = 0;
  int bits = 0;
  int padding = 0;
  std::size_t count = 0;
  for (char c : text) {
    if (IsSpace(c)) continue;
    ++count;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = Base64Value(c);
    // Nothing but padding may follow padding.
    if (value < 0 || padding > 0) return false;
    buffer = (buffer << 6) | static_cast<unsigned>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes->push_back(static_cast<char>((buffer >> bits) & 0xff));
    }
  }
  // The padding must be exactly what the last group lacks, and the bits it leaves unused zero.
  if (count % 4 != 0 || padding > 2) return false;
  const int expected_padding = bits == 4 ? 2 : bits == 2 ? 1 : 0;
  if (bits == 6 || padding != expected_padding) return false;
  return (buffer & ((1u << bits) - 1)) == 0;
}

PartnerKeyFile ReadPartnerKeys(const std::string& text) {
  PartnerKeyFile file;
  std::size_t at = 0;
  while ((at = text.find(kBegin, at)) != std::string::npos) {
    std::string label;
    std::size_t body = 0;
    if (!Boundary(text, at, kBegin, &label, &body)) {
      ++file.unusable_blocks;
      at += sizeof kBegin - 1;
      continue;
    }
    const std::size_t end = text.find(kEnd, body);
    std::string end_label;
    std::size_t after = 0;
    if (end == std::string::npos || !Boundary(text, end, kEnd, &end_label, &after) ||
        end_label != label) {
      ++file.unusable_blocks;
      at = body;
      continue;
    }
    std::string der;
    PartnerPublicKey key;
    if (label == kPublicKeyLabel && DecodeBase64(text.substr(body, end - body), &der) &&
        KeyFromDer(der, &key)) {
      file.keys.push_back(std::move(key));
    } else {
      ++file.unusable_blocks;
    }
    at = after;
  }
  return file;
}
