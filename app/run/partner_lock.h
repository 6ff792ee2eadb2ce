// One wizard per partner at a time: a named mutex in the session's namespace, named after the
// partner folder so that every spelling of one folder shares it.
#pragma once

#include <windows.h>

#include <string>

#include "base/owned_handle.h"
#include "base/wide_text.h"

class PartnerLock {
 public:
  // Takes "Local\OrvexDownload.<partner_id>", the identifier upper-cased as Windows compares
  // folder names. False when the run must not go on: another process holds the lock, or the
  // lock cannot be made at all (the name is taken by an object that is no mutex, or any other
  // failure); error() then tells which (ERROR_ALREADY_EXISTS for the first).
  bool Acquire(const char* partner_id);
  DWORD Error() const { return error_; }

 private:
  OwnedHandle mutex_;
  DWORD error_ = 0;
};

// The lock's name for a partner identifier in the program's code page (UTF-8 where it can be):
// "Local\OrvexDownload." and the identifier upper-cased letter by letter (not by any language's
// rules), so that "acme", "ACME" and "Acme" name one lock, as they name one folder. Empty when it
// cannot be formed.
WideText PartnerLockName(const char* partner_id);

// Marks the window as a wizard's welcome page, whatever language its caption is in, so that
// another process can find it; the mark goes when the window is destroyed.
void MarkWelcomePage(HWND window);
void UnmarkWelcomePage(HWND window);

// Brings the wizard of another process to the front (its topmost page or box); false when no
// such window is found.
bool RaiseRunningWizard();
