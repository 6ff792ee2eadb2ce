#include "app/run/setup_program.h"

#include <windows.h>

#include "app/inputs/setup_digest.h"
#include "app/report/log_text.h"
#include "app/report/message_texts.h"
#include "app/report/run_log.h"
#include "app/resources/resource.h"
#include "app/trust/authenticode_check.h"
#include "base/file_sha256.h"
#include "base/owned_handle.h"

namespace {

// Lets go of the setup program and deletes it, so that nothing can start it later.
void DiscardSetup(HeldFile* setup, const std::string& path) {
  setup->handle.Reset();
  DeleteFileA(path.c_str());
}

}  // namespace

bool SetupReadyToStart(const std::string& digest_word, HeldFile* setup, const std::string& path,
                       RunView& view) {
  RunLog& log = view.Log();
  Sha256Digest written{};
  Sha256Digest actual{};
  const bool hashed = FileSha256(setup->handle.Get(), &written);
  const bool held = hashed && HoldForStart(setup) && FileSha256(setup->handle.Get(), &actual);
  if (!held || actual != written) {
    log.Write(
        "the setup program %s was changed, or could not be held, before it could be started; "
        "deleted",
        path.c_str());
    DiscardSetup(setup, path);
    view.Message(IDS_SETUP_DAMAGED, kErrorCaption, MB_ICONSTOP);
    return false;
  }
  if (digest_word.empty()) return true;
  Sha256Digest expected{};
  const bool well_formed = ParseDigestWord(digest_word, &expected);
  if (well_formed && actual == expected) {
    log.Write("setup digest matches, sha256:%s", DigestText(actual).c_str());
    return true;
  }
  log.Write("setup digest does not match: expected %s, got %s; %s deleted",
            well_formed ? ("sha256:" + DigestText(expected)).c_str() : "a malformed digest",
            ("sha256:" + DigestText(actual)).c_str(), path.c_str());
  DiscardSetup(setup, path);
  view.Message(IDS_SETUP_DAMAGED, kErrorCaption, MB_ICONSTOP);
  return false;
}

bool SetupVouchedFor(const SetupVouchers& vouchers, HeldFile* setup, const std::string& path,
                     const std::atomic<bool>& give_up, RunView& view) {
  RunLog& log = view.Log();
  if (const char* voucher = SetupVoucher(vouchers)) {
    log.Write("setup vouched for by: %s", voucher);
    return true;
  }
  // Nothing else vouches: a revoked publisher must not pass for one whose revocation list an
  // attacker on the path kept from the program.
  const AuthenticodeVerdict verdict =
      CheckAuthenticodeLookingUp(setup->handle.Get(), path, give_up);
  if (!verdict.lookups.empty()) {
    log.Write("revocation lookups for the setup's signer (at most %lu s) %s",
              static_cast<unsigned long>(kRevocationLookupLimitMs / 1000),
              EscapeControlBytes(verdict.lookups).c_str());
  }
  if (give_up) {
    log.Write("cancelled: %s deleted, not started", path.c_str());
    DiscardSetup(setup, path);
    return false;
  }
  if (verdict.trusted) {
    log.Write("setup vouched for by: Authenticode, %s", EscapeControlBytes(verdict.signer).c_str());
    return true;
  }
  const std::string why = verdict.signer.empty() ? verdict.reason
                                                 : "signer " + EscapeControlBytes(verdict.signer) +
                                                       ": " + verdict.reason;
  log.Write(
      "nothing vouches for the setup program %s: no digest word in a signed or https index, not "
      "fetched over https with its index, and no trusted Authenticode signature (%s); deleted, "
      "not started",
      path.c_str(), why.c_str());
  DiscardSetup(setup, path);
  view.Message(IDS_SETUP_NOT_SIGNED, kErrorCaption, MB_ICONSTOP);
  return false;
}

bool RunSetupProgram(const std::string& path, const std::string& folder,
                     const SetupSwitches& switches, RunView& view) {
  RunLog& log = view.Log();
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  // Its own path first, quoted, as every program expects to find itself on its command line.
  std::string command_line;
  if (switches.arguments) command_line = "\"" + path + "\" " + *switches.arguments;
  // The wizard's own current folder is often Downloads, where any program of the user's may
  // have left a DLL or a program that the setup would load or start by its bare name, with
  // administrator rights.
  log.Write("starting the setup %s in %s, no handle inherited%s%s", path.c_str(), folder.c_str(),
            switches.arguments ? ", command line " : "", command_line.c_str());
  if (!CreateProcessA(path.c_str(), switches.arguments ? &command_line[0] : nullptr, nullptr,
                      nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process)) {
    log.Write("the setup cannot start, %s", ErrorText(GetLastError()).c_str());
    return true;
  }
  OwnedHandle process_handle(process.hProcess);
  OwnedHandle thread_handle(process.hThread);
  const DWORD started = GetTickCount();
  view.AcceptInput(false);
  const DWORD limit = switches.timeout_s > 0 ? switches.timeout_s * 1000 : INFINITE;
  const bool ended = WaitForSingleObject(process_handle.Get(), limit) != WAIT_TIMEOUT;
  view.AcceptInput(true);
  if (!ended) {
    log.Write("the setup still runs after %lu s (/setuptimeout): left running, nothing installed",
              static_cast<unsigned long>(switches.timeout_s));
    return false;
  }
  DWORD exit_code = 0;
  GetExitCodeProcess(process_handle.Get(), &exit_code);
  log.Write("the setup ended with exit code %lu after %lu ms",
            static_cast<unsigned long>(exit_code),
            static_cast<unsigned long>(GetTickCount() - started));
  return true;
}
