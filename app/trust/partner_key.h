// The partner's public keys as partner.pub gives them: PEM "PUBLIC KEY" blocks
// (SubjectPublicKeyInfo) of ECDSA P-256 keys, as `openssl ec -pubout` writes them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct PartnerPublicKey {
  // The point, as the system's verifier takes it: X then Y, each 32 bytes big-endian.
  std::array<std::uint8_t, 64> point{};
  // The SubjectPublicKeyInfo as it stood in the file; its SHA-256 names the key in the log.
  std::string der;
};

struct PartnerKeyFile {
  std::vector<PartnerPublicKey> keys;
  // Blocks that hold no usable P-256 key: broken base64, another kind of key, a compressed
  // point, a block without its end line, or a PEM block of another kind (a private key, say).
  int unusable_blocks = 0;
};

// Every PEM block of text, in order. Text outside the blocks is ignored.
PartnerKeyFile ReadPartnerKeys(const std::string& text);

// Base64 as PEM carries it: whitespace anywhere is skipped, '=' only as the last one or two
// characters, and the length a multiple of four. False for anything else.
bool DecodeBase64(const std::string& text, std::string* bytes);
