// The program's own file as the anchor of the partner's trust, read once at start, before any
// page: the partner's keys it carries, and its Authenticode signature when it carries one. The
// file is held for the whole run by a handle that shares reading only, so that it cannot be
// changed while the program runs, and the signature is checked through that same handle. A
// partner.pub beside the program is never a key.
#pragma once

#include <memory>
#include <optional>

#include "app/report/outcome.h"
#include "app/report/run_log.h"
#include "app/trust/partner_key.h"
#include "app/trust/partner_signature.h"
#include "base/owned_handle.h"

// The block in the program's image (program_key_block.cpp).
extern const unsigned char kProgramKeyBlock[kKeyBlockSize];

struct ProgramTrust {
  OwnedHandle file;                   // the program's own file, held for the run
  std::unique_ptr<PartnerKeys> keys;  // the partner's keys; null when the program carries none
  // Why no run may start: ProgramNotTrusted (its file cannot be read as built, or a signature
  // it carries does not hold) or OldKeyLayout (a partner.pub beside a program without keys).
  std::optional<RunResult> refusal;
};

// Opens and reads the program's own file, checks what it carries and logs what it found.
ProgramTrust TrustProgram(RunLog& log);
