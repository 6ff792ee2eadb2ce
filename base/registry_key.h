// Owner of one open registry key: closed by the destructor, so every path closes what it
// opened. Value names may be null for a key's unnamed value.
#pragma once

#include <windows.h>

#include <cstdint>

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() { Close(); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens an existing key; false, and nothing held, when it cannot be opened.
  bool Open(HKEY parent, const char* path, REGSAM access);
  // Opens the key, creating it (non-volatile, default security) when it is missing.
  bool Create(HKEY parent, const char* path, REGSAM access);
  void Close();

  bool IsOpen() const { return key_ != nullptr; }
  HKEY Handle() const { return key_; }

  // Reads a value's data, whatever its type. size: capacity in, bytes read out.
  bool QueryValue(const char* name, void* data, DWORD* size, DWORD* type = nullptr) const;
  // Reads a value of at most four bytes as a little-endian unsigned number; shorter data are
  // zero-extended. Fails for an absent value and for longer data.
  bool QueryNumber(const char* name, std::uint32_t* number) const;
  // REG_SZ, with the terminating zero counted in the data size.
  bool SetString(const char* name, const char* text);
  // REG_DWORD, four bytes.
  bool SetDword(const char* name, std::uint32_t number);
  bool DeleteValue(const char* name);

 private:
  HKEY key_ = nullptr;
};
