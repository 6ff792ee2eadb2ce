// The per-partner temporary folder that the downloads write into, and recursive removal.
#pragma once

// The temporary folder's path, without a trailing backslash; empty until prepared.
extern char TempFolderBuffer[260];

enum class TempFolderStatus {
  Ready,        // folder set up and its path recorded in the registry
  NotRecorded,  // folder set up, but the registry value could not be written
  Unusable,     // no usable temporary path: nothing touched, TempFolder and the buffer empty
};

// Builds the temporary path followed by PartnerId, removes any old folder of that name,
// creates it anew and records it in TempFolderBuffer, TempFolder and under HKEY_CURRENT_USER
// "Software\Kestrane\TempPartnerPath". Unusable when the temporary path cannot be had, the
// result would exceed 259 characters, or PartnerId is not a plain folder name.
TempFolderStatus PrepareTempFolder();

// Removes the folder at path with everything in it, as far as it can, ignoring failures.
// Read-only files stay, and so do the folders above them. A link (junction or symbolic link)
// is removed itself, never followed, so the removal stays inside the folder it was given.
void RemoveTree(const char* path);
