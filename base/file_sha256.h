// The SHA-256 of a file's contents, with the system's CryptoAPI (ADVAPI32).
#pragma once

#include <array>

// False when the file cannot be read or the system offers no SHA-256.
bool FileSha256(const char* path, std::array<unsigned char, 32>* digest);
