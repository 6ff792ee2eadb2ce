#include "messenger/messenger_detection.h"

#include <windows.h>

#include <cstring>

#include "base/registry_key.h"
#include "messenger/registry_layout.h"

std::uint32_t GetMessengerVersion() {
  RegistryKey prefs;
  if (!prefs.Open(HKEY_LOCAL_MACHINE, kDefaultPrefsKey, KEY_READ)) return 0;
  std::uint32_t version = 0;
  if (!prefs.QueryNumber(kVersionValue, &version)) return 0;
  return version;
}

void FindMessengerFolder(char (&folder)[kPathBufferSize]) {
  RegistryKey app_paths;
  if (!app_paths.Open(HKEY_LOCAL_MACHINE, kAppPathsKey, KEY_READ)) return;
  LONG size = sizeof folder;
  const LONG status = RegQueryValueA(app_paths.Handle(), nullptr, folder, &size);
  // Data that fill the whole buffer without a terminator count as too long.
  if (status != ERROR_SUCCESS || std::memchr(folder, 0, sizeof folder) == nullptr) {
    folder[0] = '\0';
  }
  app_paths.Close();
  char* last_backslash = std::strrchr(folder, '\\');
  if (last_backslash != nullptr) *last_backslash = '\0';
}

bool MessengerNeedsSetup(std::uint32_t version) {
  return version < 534 || version == 2001;
}
