// The messenger's downloaded setup program: checked through the handle that holds it, then
// started and waited for.
#pragma once

#include <atomic>
#include <string>

#include "app/inputs/command_line.h"
#include "app/report/run_view.h"
#include "app/trust/setup_vouchers.h"
#include "base/held_file.h"

// Makes the downloaded setup program ready to start while it is held, and checks it through
// the held handle: it must still be what the transfer wrote, and have the digest the index
// file gives (digest_word), when it gives one. When not, it is deleted and the user is told.
bool SetupReadyToStart(const std::string& digest_word, HeldFile* setup, const std::string& path,
                       RunView& view);

// Whether something vouches for the setup program held by setup (checked ready to start): the
// digest word of a signed index or of one fetched over https, both the index and the setup
// fetched over https, or an Authenticode signature whose signer's chain ends in a trusted root
// and allows code signing, none of its certificates revoked where they say their revocation is
// published (looked up, at most kRevocationLookupLimitMs). When nothing does, it is deleted and
// the user is told; when give_up (a confirmed cancel) ends the lookups, it is deleted and false
// returned without a word to the user.
bool SetupVouchedFor(const SetupVouchers& vouchers, HeldFile* setup, const std::string& path,
                     const std::atomic<bool>& give_up, RunView& view);

// Runs the setup program at path and waits for it, with the page taking no input meanwhile.
// The caller holds the file, so what starts is what was checked. It starts in folder (the
// temporary folder it lies in, where a setup looks for its companions) rather than wherever the
// wizard was started, and inherits no handle of the wizard's. The switches give its command
// line after its path and how long it is waited for: false when it still runs then, left
// running.
bool RunSetupProgram(const std::string& path, const std::string& folder,
                     const SetupSwitches& switches, RunView& view);
