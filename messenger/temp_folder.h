// The per-partner temporary folder that the downloads write into.
#pragma once

#include "base/path_limits.h"

enum class TempFolderStatus {
  Ready,        // folder set up and its path recorded in the registry
  NotRecorded,  // folder set up, but the registry value could not be written
  Unusable,     // no usable temporary path: nothing touched, folder empty
};

// Builds the temporary path followed by partner_id (a plain folder name), removes any old
// folder of that name, creates it anew, puts its path (without a trailing backslash) into
// folder and records it under HKEY_CURRENT_USER "Software\Kestrane\TempPartnerPath".
// Unusable when the temporary path cannot be had or the result would exceed 259 characters.
TempFolderStatus PrepareTempFolder(const char* partner_id, char (&folder)[kPathBufferSize]);
