// Installs a downloaded package into the messenger's folder. Every failed file operation is
// passed over silently.
#pragma once

#include <string>

#include "messenger/install_record.h"

// Copies the package files from temp_folder into messenger_folder's "Partner\<partner_id>"
// (emptied and created anew), leaving out the index file and the file named setup_name, then
// removes the temporary folder. partner_id is a plain folder name. Returns false, having
// touched nothing, when messenger_folder is not fully qualified; true otherwise. Each file
// copied is noted in record, when given.
bool InstallPackageFiles(const char* messenger_folder, const char* partner_id,
                         const char* temp_folder, const std::string& setup_name,
                         InstallRecord* record = nullptr);
