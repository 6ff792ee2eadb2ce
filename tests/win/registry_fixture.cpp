#include "tests/win/registry_fixture.h"

#include <cstring>
#include <vector>

std::uint32_t StoredValue::AsDword() const {
  std::uint32_t number = 0;
  std::memcpy(&number, data.data(), data.size() < 4 ? data.size() : 4);
  return number;
}

std::string StoredValue::AsText() const {
  if (!data.empty() && data.back() == '\0') return data.substr(0, data.size() - 1);
  return data;
}

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void CreateKey(HKEY root, const std::string& path, bool is_volatile) {
  HKEY key;
  const DWORD options = is_volatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << path;
  RegCloseKey(key);
}

void DeleteKeyTree(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  std::vector<std::string> children;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    children.push_back(name);
  }
  RegCloseKey(key);
  for (const std::string& child : children) DeleteKeyTree(root, path + "\\" + child);
  RegDeleteKeyA(root, path.c_str());
}

void WriteValue(HKEY root, const std::string& path, const char* name, DWORD type, const void* data,
                DWORD size) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << path;
  const LONG status = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  ASSERT_EQ(status, ERROR_SUCCESS) << path << " " << (name ? name : "(unnamed)");
}

void WriteDword(HKEY root, const std::string& path, const char* name, std::uint32_t number) {
  WriteValue(root, path, name, REG_DWORD, &number, sizeof number);
}

void WriteText(HKEY root, const std::string& path, const char* name, const std::string& text) {
  WriteValue(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void DeleteValue(HKEY root, const std::string& path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

StoredValue ReadValue(HKEY root, const std::string& path, const char* name) {
  StoredValue value;
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.data.resize(size);
    if (RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(&value.data[0]),
                         &size) == ERROR_SUCCESS) {
      value.present = true;
      value.data.resize(size);
    }
  }
  RegCloseKey(key);
  return value;
}

int CountValues(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
  DWORD count = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return static_cast<int>(count);
}

void MessengerRegistryTest::Clear() {
  DeleteKeyTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrane");
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Kestrane");
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kTestAppPaths);
  DeleteValue(HKEY_LOCAL_MACHINE, kTestRun, "Orvex Lite");
  DeleteValue(HKEY_LOCAL_MACHINE, kTestRun, kOtherRunValue);
}
