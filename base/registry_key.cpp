#include "base/registry_key.h"

#include <cstring>

bool RegistryKey::Open(HKEY parent, const char* path, REGSAM access) {
  Close();
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, path, 0, access, &key) != ERROR_SUCCESS) return false;
  key_ = key;
  return true;
}

bool RegistryKey::Create(HKEY parent, const char* path, REGSAM access) {
  Close();
  HKEY key = nullptr;
  if (RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  key_ = key;
  return true;
}

void RegistryKey::Close() {
  if (key_ != nullptr) {
    RegCloseKey(key_);
    key_ = nullptr;
  }
}

bool RegistryKey::QueryValue(const char* name, void* data, DWORD* size, DWORD* type) const {
  if (key_ == nullptr) return false;
  return RegQueryValueExA(key_, name, nullptr, type, static_cast<BYTE*>(data), size) ==
         ERROR_SUCCESS;
}

bool RegistryKey::QueryNumber(const char* name, std::uint32_t* number) const {
  unsigned char bytes[4] = {};
  DWORD size = sizeof bytes;
  if (!QueryValue(name, bytes, &size)) return false;
  *number = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
            static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  return true;
}

bool RegistryKey::SetString(const char* name, const char* text) {
  if (key_ == nullptr) return false;
  const DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
  return RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) ==
         ERROR_SUCCESS;
}

bool RegistryKey::SetDword(const char* name, std::uint32_t number) {
  if (key_ == nullptr) return false;
  const DWORD data = number;
  return RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data) == ERROR_SUCCESS;
}

bool RegistryKey::DeleteValue(const char* name) {
  if (key_ == nullptr) return false;
  return RegDeleteValueA(key_, name) == ERROR_SUCCESS;
}
