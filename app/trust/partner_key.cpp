#include "app/trust/partner_key.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kFormat = 1;

// DER is canonical, and a P-256 key names its curve: every SubjectPublicKeyInfo of such a key
// with an uncompressed point is these 27 bytes (SEQUENCE, the algorithm ecPublicKey with the
// curve prime256v1, the BIT STRING's header and the 0x04 of an uncompressed point) followed by
// X and Y.
constexpr unsigned char kP256Prefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                         0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                         0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

bool AllZero(std::string::const_iterator from, std::string::const_iterator to) {
  return std::all_of(from, to, [](char c) { return c == 0; });
}

}  // namespace

std::string SubjectPublicKeyInfo(const PartnerPublicKey& key) {
  std::string der(reinterpret_cast<const char*>(kP256Prefix), sizeof kP256Prefix);
  der.append(reinterpret_cast<const char*>(key.point.data()), key.point.size());
  return der;
}

std::optional<std::vector<PartnerPublicKey>> ReadKeyBlock(const std::string& block,
                                                          const std::string& mark) {
  if (block.size() != kKeyBlockSize || mark.size() != kKeyBlockMarkSize ||
      block.compare(0, kKeyBlockMarkSize, mark) != 0) {
    return std::nullopt;
  }
  const auto header = block.begin() + kKeyBlockMarkSize;
  const std::size_t count = static_cast<std::uint8_t>(header[1]);
  if (static_cast<std::uint8_t>(header[0]) != kFormat || count > kKeyBlockSlots ||
      !AllZero(header + 2, header + 4)) {
    return std::nullopt;
  }
  std::vector<PartnerPublicKey> keys(count);
  auto slot = header + 4;
  for (PartnerPublicKey& key : keys) {
    if (AllZero(slot, slot + kKeyPointSize)) return std::nullopt;
    std::copy(slot, slot + kKeyPointSize, key.point.begin());
    slot += kKeyPointSize;
  }
  if (!AllZero(slot, block.end())) return std::nullopt;
  return keys;
}
