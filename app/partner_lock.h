// One wizard per partner at a time: a named mutex in the session's namespace.
#pragma once

#include "base/owned_handle.h"

class PartnerLock {
 public:
  // Creates "Local\OrvexDownload.<partner_id>"; false when another process holds it already.
  // A mutex that cannot be created at all does not stop the run.
  bool Acquire(const char* partner_id);

 private:
  OwnedHandle mutex_;
};

// Brings the wizard of another process to the front (its topmost page or box); false when no
// such window is found.
bool RaiseRunningWizard();
