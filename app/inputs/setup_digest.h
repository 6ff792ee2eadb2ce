// The setup program's expected SHA-256, as the index file's third word gives it.
#pragma once

#include <array>
#include <string>

using Sha256Digest = std::array<unsigned char, 32>;

// Reads "sha256:" followed by exactly 64 hexadecimal digits (either case) into digest; false
// for anything else, which the caller treats as a digest that does not match.
bool ParseDigestWord(const std::string& word, Sha256Digest* digest);

// Exactly 64 hexadecimal digits (either case) into digest; false for anything else.
bool ParseDigestHex(const std::string& hex, Sha256Digest* digest);

// The digest as 64 lower-case hexadecimal digits, as the log shows it.
std::string DigestText(const Sha256Digest& digest);
