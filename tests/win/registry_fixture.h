// Registry helpers for the Win32 tests, and a fixture that clears every key and value the
// messenger integration reads or writes before and after each test, so that no test depends
// on another. The tests run in a throw-away Wine prefix; they never touch other keys.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

struct StoredValue {
  bool present = false;
  DWORD type = REG_NONE;
  std::string data;  // the raw bytes, terminator included for strings

  std::uint32_t AsDword() const;
  // The text without its terminating zero.
  std::string AsText() const;
};

bool KeyExists(HKEY root, const std::string& path);
void CreateKey(HKEY root, const std::string& path, bool is_volatile = false);
void DeleteKeyTree(HKEY root, const std::string& path);
void WriteValue(HKEY root, const std::string& path, const char* name, DWORD type, const void* data,
                DWORD size);
void WriteDword(HKEY root, const std::string& path, const char* name, std::uint32_t number);
// REG_SZ with the terminating zero counted.
void WriteText(HKEY root, const std::string& path, const char* name, const std::string& text);
void DeleteValue(HKEY root, const std::string& path, const char* name);
StoredValue ReadValue(HKEY root, const std::string& path, const char* name);
// Number of values stored in a key; -1 when the key does not exist.
int CountValues(HKEY root, const std::string& path);

constexpr char kTestDefaultPrefs[] = "SOFTWARE\\Kestrane\\Orvex\\DefaultPrefs";
constexpr char kTestCustomize[] = "SOFTWARE\\Kestrane\\Orvex\\DefaultPrefs\\Customize";
constexpr char kTestOwners[] = "SOFTWARE\\Kestrane\\Orvex\\Owners";
constexpr char kTestAppPaths[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Orvex.exe";
constexpr char kTestRun[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kTestTempRecord[] = "Software\\Kestrane\\TempPartnerPath";
// A Run value that stands for another program's autostart entry.
constexpr char kOtherRunValue[] = "Orvex Test Other Program";

// Clears the Kestrane keys under both roots, the messenger's App Paths entry and the test's
// Run values, and the process-wide buffers the integration fills.
class MessengerRegistryTest : public testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }

 private:
  static void Clear();
};
