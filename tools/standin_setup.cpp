// Stand-in for the messenger's setup program. The wizard downloads it and starts it without a
// command line (unless /setupargs gives one, which it only records), so its instructions come
// from the registry of the test's own prefix:
//
//   HKLM\SOFTWARE\OrvexTest\StandinSetup
//     "Mode"      REG_SZ    "raise" (default): write the version and App Paths;
//                           "keep": change nothing in the messenger's keys
//     "Version"   REG_DWORD the version to write (default 600)
//     "Folder"    REG_SZ    the messenger folder to create (default C:\Program Files\Orvex)
//     "Hold"      REG_DWORD when 1: signal event "OrvexStandinSetupRunning" and wait (at most
//                           30 s) for event "OrvexStandinSetupRelease" before doing anything
//
// It records each run under the same key: "RunCount" (REG_DWORD, incremented), "RanFrom"
// (REG_SZ, its own module path), "RanIn" (REG_SZ, its current folder), "RanWith" (REG_SZ, its
// command line as it got it) and "RanSha256" (REG_SZ, the SHA-256 of the file it runs from, in
// lower-case hexadecimal), so a scenario can tell whether, from where, in which folder, with
// what and as what it ran.
#include <windows.h>

#include <array>
#include <string>

#include "base/file_sha256.h"
#include "base/owned_handle.h"
#include "base/registry_key.h"

namespace {

const char kControlKey[] = "SOFTWARE\\OrvexTest\\StandinSetup";
const char kPrefsKey[] = "SOFTWARE\\Kestrane\\Orvex\\DefaultPrefs";
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Orvex.exe";

std::string ReadString(HKEY key, const char* name, const char* fallback) {
  char buffer[MAX_PATH] = {};
  DWORD size = sizeof buffer - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return fallback;
  }
  return buffer;
}

DWORD ReadDword(HKEY key, const char* name, DWORD fallback) {
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return fallback;
  }
  return value;
}

void SetString(HKEY key, const char* name, const std::string& text) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
}

void SetDword(HKEY key, const char* name, DWORD value) {
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::string OwnDigest(const char* self) {
  std::array<unsigned char, 32> digest{};
  if (!FileSha256(self, &digest)) return "unreadable";
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

void WaitForRelease() {
  OwnedHandle running(CreateEventA(nullptr, TRUE, FALSE, "OrvexStandinSetupRunning"));
  OwnedHandle release(CreateEventA(nullptr, TRUE, FALSE, "OrvexStandinSetupRelease"));
  if (running.Valid()) SetEvent(running.Get());
  if (release.Valid()) WaitForSingleObject(release.Get(), 30000);
}

// Creates the messenger folder with a placeholder Orvex.exe; returns the program's path.
std::string CreateMessengerFolder(const std::string& folder) {
  // Create each level, as CreateDirectoryA makes only the last one.
  for (std::size_t i = 3; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '\\')
      CreateDirectoryA(folder.substr(0, i).c_str(), nullptr);
  }
  std::string program = folder + "\\Orvex.exe";
  OwnedHandle file(CreateFileA(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  return program;
}

}  // namespace

int main() {
  RegistryKey control;
  if (!control.Create(HKEY_LOCAL_MACHINE, kControlKey, KEY_ALL_ACCESS)) {
    return 2;
  }
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH - 1);
  SetString(control.Handle(), "RanFrom", self);
  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, folder);
  SetString(control.Handle(), "RanIn", folder);
  SetString(control.Handle(), "RanWith", GetCommandLineA());
  SetString(control.Handle(), "RanSha256", OwnDigest(self));
  SetDword(control.Handle(), "RunCount", ReadDword(control.Handle(), "RunCount", 0) + 1);

  if (ReadDword(control.Handle(), "Hold", 0) == 1) WaitForRelease();

  if (ReadString(control.Handle(), "Mode", "raise") == "keep") return 0;

  std::string program =
      CreateMessengerFolder(ReadString(control.Handle(), "Folder", "C:\\Program Files\\Orvex"));
  RegistryKey prefs;
  if (prefs.Create(HKEY_LOCAL_MACHINE, kPrefsKey, KEY_SET_VALUE)) {
    SetDword(prefs.Handle(), "Orvex Version", ReadDword(control.Handle(), "Version", 600));
  }
  RegistryKey app_paths;
  if (app_paths.Create(HKEY_LOCAL_MACHINE, kAppPathsKey, KEY_SET_VALUE)) {
    SetString(app_paths.Handle(), nullptr, program);
  }
  return 0;
}
