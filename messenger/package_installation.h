// Installs a downloaded package into the messenger's folder and registers it as the selected
// contact-list skin. Every failed file or registry operation is passed over silently.
#pragma once

// Copies the package files from TempFolderBuffer into the messenger's folder
// "Partner\<partner_id>" (emptied and created anew), leaving out the index file and the
// setup program, then removes the temporary folder. Fills MessengerFolder first. Returns
// false, having touched nothing, when the messenger's folder is unknown or partner_id is not
// a plain folder name; true otherwise.
bool InstallPackageFiles(const char* partner_id);

// Selects the partner's skin for the messenger's default preferences and its last owner, and
// writes the skin's key with its settings from "Skin.dat". Runs after InstallPackageFiles,
// whose MessengerFolder it uses; does nothing when that folder is unknown.
void RegisterSkin(const char* partner_id);

// Deletes the value "Orvex Lite" from the system's Run key; nothing else there is touched.
void RemoveLiteAutostart();
