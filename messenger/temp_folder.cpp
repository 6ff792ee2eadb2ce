#include "messenger/temp_folder.h"

#include <windows.h>

#include "app/plain_names.h"
#include "app/shared_state.h"
#include "messenger/path_rules.h"
#include "messenger/registry_key.h"
#include "messenger/registry_layout.h"
#include "net/winsock_session.h"

char TempFolderBuffer[260] = {};

TempFolderStatus PrepareTempFolder() {
  TempFolderBuffer[0] = '\0';
  TheWinsockSession.TempFolder.clear();

  char temp_path[sizeof TempFolderBuffer] = {};
  const DWORD length = GetTempPathA(sizeof temp_path, temp_path);
  // 0 is a failure; a length of the buffer size or more is the size the path would need.
  if (length == 0 || length >= sizeof temp_path) return TempFolderStatus::Unusable;
  // The folder is removed before it is created: it must lie inside the temporary path.
  if (!IsPlainFolderName(PartnerId)) return TempFolderStatus::Unusable;
  if (!ComposeTempFolderPath(temp_path, PartnerId, TempFolderBuffer, sizeof TempFolderBuffer)) {
    return TempFolderStatus::Unusable;
  }

  RemoveTree(TempFolderBuffer);
  CreateDirectoryA(TempFolderBuffer, nullptr);
  TheWinsockSession.TempFolder = TempFolderBuffer;

  RegistryKey record;
  if (!record.Create(HKEY_CURRENT_USER, kTempPartnerPathKey, KEY_SET_VALUE)) {
    return TempFolderStatus::NotRecorded;
  }
  record.SetString(nullptr, TempFolderBuffer);
  return TempFolderStatus::Ready;
}
