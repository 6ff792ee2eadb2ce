// The Authenticode signature of a downloaded program: the system's WinVerifyTrust for the
// signature over the file's bytes, and our own check of the signer's chain, since not every
// WinVerifyTrust refuses a signature under a root that nobody trusts (Wine 8's accepts it).
#pragma once

#include <windows.h>

#include <string>

struct AuthenticodeVerdict {
  bool trusted = false;
  std::string signer;  // the signer's common name, when a signer was found
  std::string reason;  // why not, for the log; empty when trusted
};

// Checks the program held open by file (path names it for the system): it must carry a signature
// that WinVerifyTrust accepts, and the signer's chain, at the time the signature was made
// (its timestamp's, else now), must end in a trusted root and allow code signing. A revoked
// certificate refuses; a revocation status that cannot be learnt (offline) does not.
AuthenticodeVerdict CheckAuthenticode(HANDLE file, const std::string& path);
