// Installs a downloaded package into the messenger's folder, as one step: the previous
// partner folder is replaced only once the whole package has been stored beside it.
#pragma once

#include <string>

#include "messenger/install_record.h"

enum class InstallOutcome {
  Installed,
  // The messenger folder is not fully qualified: nothing was touched.
  NoMessengerFolder,
  // A package file could not be stored whole, or the new folder could not be put in place:
  // the previous partner folder (or its absence) and the temporary folder are as they were.
  CouldNotStore,
};

// Copies the package files from temp_folder (leaving out the index file, the file named
// setup_name and subfolders) into a staging folder, messenger_folder's
// "PartnerStaging~\<partner_id>\new", checking every copy; then puts it in the place of
// "Partner\<partner_id>", which it replaces whole, and removes the temporary folder. Left-overs
// of an earlier run of the same partner that was cut short are cleared first. partner_id is a
// plain folder name. Each file installed is noted in record, when given.
InstallOutcome InstallPackageFiles(const char* messenger_folder, const char* partner_id,
                                   const char* temp_folder, const std::string& setup_name,
                                   InstallRecord* record = nullptr);
