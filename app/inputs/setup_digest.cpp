#include "app/inputs/setup_digest.h"

namespace {
constexpr char kPrefix[] = "sha256:";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

bool ParseDigestWord(const std::string& word, Sha256Digest* digest) {
  return word.compare(0, kPrefixLength, kPrefix) == 0 &&
         ParseDigestHex(word.substr(kPrefixLength), digest);
}

bool ParseDigestHex(const std::string& hex, Sha256Digest* digest) {
  if (hex.size() != 2 * digest->size()) return false;
  for (std::size_t i = 0; i < digest->size(); ++i) {
    const int high = HexValue(hex[2 * i]);
    const int low = HexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    (*digest)[i] = static_cast<unsigned char>(high * 16 + low);
  }
  return true;
}

std::string DigestText(const Sha256Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}
