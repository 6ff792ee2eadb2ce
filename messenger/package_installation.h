// Installs a downloaded package into the messenger's folder, as one step: the previous
// partner folder is replaced only once the whole package has been stored beside it.
#pragma once

#include <string>
#include <vector>

#include "base/held_file.h"
#include "base/owned_handle.h"
#include "messenger/install_record.h"

enum class InstallOutcome {
  Installed,
  // The messenger folder is not fully qualified: nothing was touched.
  NoMessengerFolder,
  // A package file could not be stored whole, or the new folder could not be put in place:
  // the previous partner folder (or its absence) and the downloaded files are as they were.
  CouldNotStore,
};

// Puts package_files, the run's downloaded package files, into a staging folder,
// messenger_folder's "PartnerStaging~\<partner_id>\new", each under its name: moved there
// through its held handle (flushed first, unless on_disk says it is) where the volume allows,
// else copied from it and each copy checked; then puts the folder in the place of
// "Partner\<partner_id>", which it replaces whole. Nothing else in temp_folder is installed. Once
// installed, the files and temp_holder (the temporary folder's holder) are let go and temp_folder
// is removed with all it holds. Left-overs of an earlier run of the same partner that was cut short
// are cleared first. partner_id is a plain folder name. Each file installed is noted in record,
// when given.
InstallOutcome InstallPackageFiles(const char* messenger_folder, const char* partner_id,
                                   const char* temp_folder, std::vector<HeldFile> package_files,
                                   OwnedHandle temp_holder, InstallRecord* record = nullptr);
