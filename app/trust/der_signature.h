// An ECDSA P-256 signature as `openssl dgst -sign` writes it (DER: a SEQUENCE of the INTEGERs r
// and s), turned into the 64 bytes r||s that the system's verifier takes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

using EcdsaSignature = std::array<std::uint8_t, 64>;

// r||s, each 32 bytes big-endian; none unless der is exactly one strict DER signature: minimal
// lengths, positive integers of at most 32 bytes without a needless leading zero, neither zero,
// nothing after it.
std::optional<EcdsaSignature> SignatureFromDer(const std::string& der);
