// The partner's public keys as the program carries them: a block of fixed size in its own file,
// empty as built, that the partner tool fills in place (partner-tools/orvex_publish.py
// --edition). Its bytes:
//   0  16  its mark, as the program was built (the tool finds the block by it)
//  16   1  its format: 1
//  17   1  how many keys it holds, at most kKeyBlockSlots
//  18   2  zero
//  20  64  per slot, kKeyBlockSlots of them: an ECDSA P-256 point, X then Y, each 32 bytes
//          big-endian; the slots after the last key are zero
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr std::size_t kKeyBlockMarkSize = 16;
constexpr std::size_t kKeyBlockSlots = 4;
constexpr std::size_t kKeyPointSize = 64;
constexpr std::size_t kKeyBlockSize = kKeyBlockMarkSize + 4 + kKeyBlockSlots * kKeyPointSize;

struct PartnerPublicKey {
  // The point, as the system's verifier takes it: X then Y, each 32 bytes big-endian.
  std::array<std::uint8_t, kKeyPointSize> point{};
};

// The key's SubjectPublicKeyInfo (DER), as `openssl ec -pubout -outform DER` writes it; its
// SHA-256 names the key in the log.
std::string SubjectPublicKeyInfo(const PartnerPublicKey& key);

// The keys of block, when it is kKeyBlockSize bytes that start with mark and follow the layout
// above: format 1, a count of at most kKeyBlockSlots, no zero point among the keys and nothing
// but zeros after them. None for anything else: such a block was damaged or made by hand.
std::optional<std::vector<PartnerPublicKey>> ReadKeyBlock(const std::string& block,
                                                          const std::string& mark);
