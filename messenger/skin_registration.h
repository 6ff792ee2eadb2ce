// Registers an installed package as the messenger's selected contact-list skin. Every failed
// registry operation is passed over silently.
#pragma once

#include "messenger/install_record.h"

// Selects the partner's skin for the messenger's default preferences and its last owner, and
// writes the skin's key with its settings from "Skin.dat" in the partner folder and with
// package_title. Runs after the package files are installed; does nothing when
// messenger_folder is not fully qualified. partner_id is a plain folder name. Each value
// written is noted in record, when given.
void RegisterSkin(const char* messenger_folder, const char* partner_id, const char* package_title,
                  InstallRecord* record = nullptr);

// Deletes the value "Orvex Lite" from the system's Run key; nothing else there is touched.
void RemoveLiteAutostart(InstallRecord* record = nullptr);
