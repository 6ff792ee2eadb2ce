// The SHA-256 of a file's contents, with the system's CryptoAPI (ADVAPI32).
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>

// False when the file cannot be read or the system offers no SHA-256.
bool FileSha256(const char* path, std::array<unsigned char, 32>* digest);

// The SHA-256 of size bytes at data.
bool BytesSha256(const void* data, std::size_t size, std::array<unsigned char, 32>* digest);

// The same for an open file, read through its handle from its start (whatever position earlier
// reads and writes left it at).
bool FileSha256(HANDLE file, std::array<unsigned char, 32>* digest);
