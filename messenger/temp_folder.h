// The per-partner temporary folder that the downloads write into: made anew for each run, open
// to Administrators and SYSTEM only, and held open while the run uses it.
#pragma once

#include <windows.h>

#include "base/owned_handle.h"
#include "base/path_limits.h"

enum class TempFolderStatus {
  Ready,        // folder set up and its path recorded in the registry
  NotRecorded,  // folder set up, but the registry value could not be written
  // No usable temporary path (none, too long, or one that a link leads elsewhere): nothing
  // touched, folder empty.
  Unusable,
  // Something of that name stays: it could not be removed (another program holds it), it is
  // a link, or another folder took the new one's place. It is not used; folder names it.
  Taken,
};

// The security descriptor the folder is made with: full access for Administrators and SYSTEM,
// reading and running for the user who runs the program, nothing from the folder above, all of
// it inherited by what the folder holds; and a high mandatory label, so that a program of lower
// integrity cannot write there even where an entry would let it.
class TempFolderSecurity {
 public:
  TempFolderSecurity();
  ~TempFolderSecurity();
  TempFolderSecurity(const TempFolderSecurity&) = delete;
  TempFolderSecurity& operator=(const TempFolderSecurity&) = delete;

  // Null when it could not be built.
  PSECURITY_DESCRIPTOR Descriptor() const { return descriptor_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

// Builds the temporary path followed by partner_id (a plain folder name), removes any old
// folder of that name (a link is neither removed nor followed), creates it anew with
// TempFolderSecurity, puts its path (without a trailing backslash) into folder and records it
// under HKEY_CURRENT_USER "Software\Kestrane\TempPartnerPath". Ready or NotRecorded: holder
// holds the folder open, so that it can be neither renamed nor removed, and so not replaced by a
// link, until the holder is reset. Unusable when the temporary path cannot be had, leads
// elsewhere through a link, or the result would exceed 259 characters.
TempFolderStatus PrepareTempFolder(const char* partner_id, char (&folder)[kPathBufferSize],
                                   OwnedHandle* holder);
