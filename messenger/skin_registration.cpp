#include "messenger/skin_registration.h"

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "base/registry_key.h"
#include "messenger/path_rules.h"
#include "messenger/registry_layout.h"
#include "messenger/skin_settings.h"

namespace {

// Creating a subkey needs KEY_CREATE_SUB_KEY on the parent's handle besides the right to set
// values.
constexpr REGSAM kCustomizeAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

// Selects the skin for the messenger's last owner. The owner's key is only opened, never
// created; any failure just skips the rest.
void SelectForLastOwner(const char* partner_id) {
  RegistryKey owners;
  if (!owners.Open(HKEY_LOCAL_MACHINE, kOwnersKey, KEY_READ)) return;
  std::uint32_t last_owner = 0;
  if (!owners.QueryNumber(kLastOwnerValue, &last_owner)) return;
  const std::string owner_path =
      std::string(kOwnersKey) + "\\" + std::to_string(static_cast<std::int32_t>(last_owner));
  RegistryKey owner;
  if (owner.Open(HKEY_LOCAL_MACHINE, owner_path.c_str(), KEY_SET_VALUE)) {
    owner.SetString(kOwnerCustomizeValue, partner_id);
  }
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The settings from "Skin.dat" in the partner folder. An absent file in an existing folder
// reads as an empty one (all defaults); false only for a file that exists but cannot be
// read, or a partner folder that does not exist.
bool LoadSkinSettings(const std::string& partner_path, SkinSettings* settings) {
  const std::string file_path = partner_path + "Skin.dat";
  std::ifstream file(file_path);
  if (file.is_open()) {
    *settings = ReadSkinSettings(file);
    return true;
  }
  if (GetFileAttributesA(file_path.c_str()) == INVALID_FILE_ATTRIBUTES && IsFolder(partner_path)) {
    *settings = SkinSettings();
    return true;
  }
  return false;
}

}  // namespace

void RegisterSkin(const char* messenger_folder, const char* partner_id, const char* package_title) {
  if (!IsFullyQualifiedFolder(messenger_folder)) return;

  RegistryKey customize;
  if (!customize.Open(HKEY_LOCAL_MACHINE, kCustomizeKey, kCustomizeAccess)) {
    RegistryKey default_prefs;
    if (!default_prefs.Open(HKEY_LOCAL_MACHINE, kDefaultPrefsKey, kCustomizeAccess)) return;
    customize.Create(default_prefs.Handle(), kCustomizeSubkey, kCustomizeAccess);
  }

  SelectForLastOwner(partner_id);

  if (!customize.IsOpen()) return;
  customize.SetString(nullptr, partner_id);
  RegistryKey skin;
  skin.Create(customize.Handle(), partner_id, KEY_SET_VALUE);
  customize.Close();
  if (!skin.IsOpen()) return;

  const std::string partner_path =
      std::string(messenger_folder) + "\\Partner\\" + partner_id + "\\";
  SkinSettings settings;
  if (!LoadSkinSettings(partner_path, &settings)) return;

  skin.SetDword("BackgroundTransparency",
                static_cast<std::uint32_t>(settings.BackgroundTransparency));
  skin.SetDword("SelectionTransparency",
                static_cast<std::uint32_t>(settings.SelectionTransparency));
  skin.SetDword("Anchore", static_cast<std::uint32_t>(settings.Anchore));
  skin.SetDword("Stretch", static_cast<std::uint32_t>(settings.Stretch));
  skin.SetString(nullptr, package_title);
  skin.SetString("PartnerPath", partner_path.c_str());
  skin.SetString("Image", (partner_path + "skin.bmp").c_str());
}

void RemoveLiteAutostart() {
  RegistryKey run;
  if (!run.Open(HKEY_LOCAL_MACHINE, kRunKey, KEY_SET_VALUE)) return;
  run.DeleteValue(kLiteAutostartValue);
}
