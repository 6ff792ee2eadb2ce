#include "messenger/skin_registration.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/registry_key.h"
#include "base/text_reader.h"
#include "messenger/path_rules.h"
#include "messenger/registry_layout.h"
#include "messenger/skin_settings.h"

namespace {

// Creating a subkey needs KEY_CREATE_SUB_KEY on the parent's handle besides the right to set
// values.
constexpr REGSAM kCustomizeAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

std::string ValuePath(const std::string& key_path, const char* name) {
  return "registry HKLM\\" + key_path + "\\" + (name != nullptr ? name : "@");
}

void SetNoted(RegistryKey& key, const std::string& key_path, const char* name, const char* text,
              InstallRecord* record) {
  if (key.SetString(name, text)) Note(record, ValuePath(key_path, name) + " = " + text);
}

void SetNoted(RegistryKey& key, const std::string& key_path, const char* name, std::uint32_t number,
              InstallRecord* record) {
  if (key.SetDword(name, number)) {
    Note(record, ValuePath(key_path, name) + " = dword " + std::to_string(number));
  }
}

// Selects the skin for the messenger's last owner. The owner's key is only opened, never
// created; any failure just skips the rest.
void SelectForLastOwner(const char* partner_id, InstallRecord* record) {
  RegistryKey owners;
  if (!owners.Open(HKEY_LOCAL_MACHINE, kOwnersKey, KEY_READ)) return;
  std::uint32_t last_owner = 0;
  if (!owners.QueryNumber(kLastOwnerValue, &last_owner)) return;
  const std::string owner_path =
      std::string(kOwnersKey) + "\\" + std::to_string(static_cast<std::int32_t>(last_owner));
  RegistryKey owner;
  if (owner.Open(HKEY_LOCAL_MACHINE, owner_path.c_str(), KEY_SET_VALUE)) {
    SetNoted(owner, owner_path, kOwnerCustomizeValue, partner_id, record);
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
  TextFileReader file(file_path.c_str());
  if (file.IsOpen()) {
    SkinSettingsParser parser;
    char piece[512];
    for (std::size_t size; (size = file.Read(piece, sizeof piece)) > 0;) parser.Feed(piece, size);
    *settings = parser.Finish();
    return true;
  }
  if (GetFileAttributesA(file_path.c_str()) == INVALID_FILE_ATTRIBUTES && IsFolder(partner_path)) {
    *settings = SkinSettings();
    return true;
  }
  return false;
}

}  // namespace

void RegisterSkin(const char* messenger_folder, const char* partner_id, const char* package_title,
                  InstallRecord* record) {
  if (!IsFullyQualifiedFolder(messenger_folder)) return;

  RegistryKey customize;
  if (!customize.Open(HKEY_LOCAL_MACHINE, kCustomizeKey, kCustomizeAccess)) {
    RegistryKey default_prefs;
    if (!default_prefs.Open(HKEY_LOCAL_MACHINE, kDefaultPrefsKey, kCustomizeAccess)) return;
    customize.Create(default_prefs.Handle(), kCustomizeSubkey, kCustomizeAccess);
  }

  SelectForLastOwner(partner_id, record);

  if (!customize.IsOpen()) return;
  SetNoted(customize, kCustomizeKey, nullptr, partner_id, record);
  RegistryKey skin;
  skin.Create(customize.Handle(), partner_id, KEY_SET_VALUE);
  customize.Close();
  if (!skin.IsOpen()) return;

  const std::string partner_path =
      std::string(messenger_folder) + "\\Partner\\" + partner_id + "\\";
  SkinSettings settings;
  if (!LoadSkinSettings(partner_path, &settings)) return;

  const std::string skin_path = std::string(kCustomizeKey) + "\\" + partner_id;
  SetNoted(skin, skin_path, "BackgroundTransparency",
           static_cast<std::uint32_t>(settings.BackgroundTransparency), record);
  SetNoted(skin, skin_path, "SelectionTransparency",
           static_cast<std::uint32_t>(settings.SelectionTransparency), record);
  SetNoted(skin, skin_path, "Anchore", static_cast<std::uint32_t>(settings.Anchore), record);
  SetNoted(skin, skin_path, "Stretch", static_cast<std::uint32_t>(settings.Stretch), record);
  SetNoted(skin, skin_path, nullptr, package_title, record);
  SetNoted(skin, skin_path, "PartnerPath", partner_path.c_str(), record);
  SetNoted(skin, skin_path, "Image", (partner_path + "skin.bmp").c_str(), record);
}

void RemoveLiteAutostart(InstallRecord* record) {
  RegistryKey run;
  if (!run.Open(HKEY_LOCAL_MACHINE, kRunKey, KEY_SET_VALUE)) return;
  if (run.DeleteValue(kLiteAutostartValue)) {
    Note(record, "deleted " + ValuePath(kRunKey, kLiteAutostartValue));
  }
}
