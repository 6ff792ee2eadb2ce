#include "messenger/temp_folder.h"

#include <windows.h>

#include "base/registry_key.h"
#include "messenger/path_rules.h"
#include "messenger/registry_layout.h"
#include "messenger/remove_tree.h"

TempFolderStatus PrepareTempFolder(const char* partner_id, char (&folder)[kPathBufferSize]) {
  folder[0] = '\0';

  char temp_path[kPathBufferSize] = {};
  const DWORD length = GetTempPathA(sizeof temp_path, temp_path);
  // 0 is a failure; a length of the buffer size or more is the size the path would need.
  if (length == 0 || length >= sizeof temp_path) return TempFolderStatus::Unusable;
  if (!ComposeTempFolderPath(temp_path, partner_id, folder, sizeof folder)) {
    return TempFolderStatus::Unusable;
  }

  RemoveTree(folder);
  CreateDirectoryA(folder, nullptr);

  RegistryKey record;
  if (!record.Create(HKEY_CURRENT_USER, kTempPartnerPathKey, KEY_SET_VALUE)) {
    return TempFolderStatus::NotRecorded;
  }
  record.SetString(nullptr, folder);
  return TempFolderStatus::Ready;
}
