// Stand-in for the messenger's setup program. The wizard downloads it and starts it without a
// command line, so its instructions come from the registry of the test's own prefix:
//
//   HKLM\SOFTWARE\OrvexTest\StandinSetup
//     "Mode"      REG_SZ    "raise" (default): write the version and App Paths;
//                           "keep": change nothing in the messenger's keys
//     "Version"   REG_DWORD the version to write (default 600)
//     "Folder"    REG_SZ    the messenger folder to create (default C:\Program Files\Orvex)
//     "Hold"      REG_DWORD when 1: signal event "OrvexStandinSetupRunning" and wait (at most
//                           30 s) for event "OrvexStandinSetupRelease" before doing anything
//
// It records each run under the same key: "RunCount" (REG_DWORD, incremented) and "RanFrom"
// (REG_SZ, its own module path), so a scenario can tell whether and from where it ran.
#include <windows.h>

#include <string>

#include "tools/win_handle.h"

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
  OwnedKey control;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kControlKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      control.Out(), nullptr) != ERROR_SUCCESS) {
    return 2;
  }
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH - 1);
  SetString(control.Get(), "RanFrom", self);
  SetDword(control.Get(), "RunCount", ReadDword(control.Get(), "RunCount", 0) + 1);

  if (ReadDword(control.Get(), "Hold", 0) == 1) WaitForRelease();

  if (ReadString(control.Get(), "Mode", "raise") == "keep") return 0;

  std::string program =
      CreateMessengerFolder(ReadString(control.Get(), "Folder", "C:\\Program Files\\Orvex"));
  OwnedKey prefs;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPrefsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      prefs.Out(), nullptr) == ERROR_SUCCESS) {
    SetDword(prefs.Get(), "Orvex Version", ReadDword(control.Get(), "Version", 600));
  }
  OwnedKey app_paths;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      app_paths.Out(), nullptr) == ERROR_SUCCESS) {
    SetString(app_paths.Get(), nullptr, program);
  }
  return 0;
}
