// The Authenticode signature of a program: the system's WinVerifyTrust for the signature over
// the file's bytes, and our own check of the signer's chain, since not every WinVerifyTrust
// refuses a signature under a root that nobody trusts (Wine 8's accepts it).
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

struct AuthenticodeVerdict {
  bool trusted = false;
  std::string signer;  // the signer's common name, when a signer was found
  std::string reason;  // why not, for the log; empty when trusted
  // With revocation lookups: which were made, how long they took and what each learnt.
  std::string lookups;
};

// How long the revocation lookups of one check may take in all: the system's URL retrieval is
// given this much, and the check stops waiting for it then, as not every system keeps to it
// (Wine 8 waits for a silent server for over two minutes).
constexpr DWORD kRevocationLookupLimitMs = 15000;

// Checks the program held open by file (path names it for the system): it must carry a signature
// that WinVerifyTrust accepts, and the signer's chain, at the time the signature was made
// (its timestamp's, else now), must end in a trusted root and allow code signing. A certificate
// the system already knows to be revoked refuses; nothing is looked up, so a revocation status
// the system does not know does not.
AuthenticodeVerdict CheckAuthenticode(HANDLE file, const std::string& path);

// The same, with the revocation of every certificate of the signer's chain that names where it
// is published (a CRL distribution point, an OCSP responder) looked up there: a status that
// cannot be learnt within kRevocationLookupLimitMs refuses. A certificate that names no such
// source (a private CA's) is judged by its chain alone, as is the root. give_up (a confirmed
// cancel) ends the wait at once, the signature refused.
AuthenticodeVerdict CheckAuthenticodeLookingUp(HANDLE file, const std::string& path,
                                               const std::atomic<bool>& give_up);
