#include "app/program_run.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/inputs/command_line.h"
#include "app/inputs/program_folder.h"
#include "app/pages/pages.h"
#include "app/pages/usage_box.h"
#include "app/report/message_texts.h"
#include "app/report/module_instance.h"
#include "app/report/outcome.h"
#include "app/report/run_log.h"
#include "app/report/run_view.h"
#include "app/resources/resource.h"
#include "app/run/download_worker.h"
#include "app/run/partner_lock.h"
#include "app/run/run_context.h"
#include "app/trust/program_keys.h"
#include "base/code_page.h"

namespace {

// How long the exit waits for a download that is still finishing: its transfer is aborted at
// once, but an installation in progress runs to its end.
constexpr DWORD kExitGraceMs = 5000;

// "1.0.0.1" from the program's own version resource; "unknown" without one. Read in place,
// without the version library, which would be one more library loaded from beside the program.
std::string ProgramVersion() {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
  HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
  const auto* bytes = static_cast<const unsigned char*>(LockResource(loaded));
  const DWORD size = found != nullptr ? SizeofResource(nullptr, found) : 0;
  // The fixed part starts with its signature, after the block's header and name.
  for (DWORD at = 0; bytes != nullptr && at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, bytes + at, sizeof info);
    if (info.dwSignature != VS_FFI_SIGNATURE) continue;
    return std::to_string(HIWORD(info.dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info.dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info.dwFileVersionLS)) + "." +
           std::to_string(LOWORD(info.dwFileVersionLS));
  }
  return "unknown";
}

void ShowUsage(const CommandLine& options) {
  UsageBoxText box{LoadResString(kWelcomeCaption), UsageText(), !options.bad_switch.empty()};
  if (box.bad_switch) {
    box.text =
        "Bad switch: " + options.bad_switch + " (" + options.bad_switch_why + ")\n\n" + box.text;
  }
  ShowUsageBox(box);
}

// A bad switch ends the program before any run, the usage box naming it.
int RefuseBadSwitch(const CommandLine& options, RunLog& log) {
  log.Write("bad switch %s: %s", options.bad_switch.c_str(), options.bad_switch_why);
  if (!options.quiet) ShowUsage(options);
  return ExitCodeFor({RunResult::BadSwitch});
}

std::string Hex4(unsigned number) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(number >> shift) & 0xF];
  return text;
}

// The run's language, chosen once before anything is shown or read: the /lang switch's, else
// the one the Windows display language chooses, among the languages whose texts the program's
// code page can carry. Older text files are then read in that language's code page (in the
// system's for English, as ever). Returns how it was chosen, for the log.
std::string ChooseRunLanguage(const CommandLine& options) {
  const unsigned code_page = GetACP();
  const LANGID display = GetUserDefaultUILanguage();
  std::vector<const Language*> every;
  std::vector<const Language*> offered;
  for (const Language& language : Languages()) {
    every.push_back(&language);
    if (Showable(language, code_page)) offered.push_back(&language);
  }
  const Language* wanted = options.language;
  std::string how = wanted != nullptr ? std::string("from /lang:") + wanted->tag
                                      : Hex4(display) + " from the display language";
  if (wanted == nullptr) {
    wanted = &ChooseLanguage(display, every);
    // English for another language: a Greek display language, say.
    if (wanted == &English() && (display & 0x3FF) != (English().id & 0x3FF)) {
      how += ", which has no translation";
    }
  }
  RunLanguage = Showable(*wanted, code_page) ? wanted : &ChooseLanguage(display, offered);
  if (RunLanguage != wanted) {
    how += std::string(", ") + wanted->tag + " cannot be shown in code page " +
           std::to_string(code_page);
  }
  if (RunLanguage != &English()) SetLegacyCodePage(RunLanguage->legacy_code_page);
  return std::string("language ") + RunLanguage->tag + " (" + how + ")";
}

int RunWizard(RunContext& context) {
  WelcomePage welcome(context);
  RunDialog(IDD_WELCOME, nullptr, WelcomeDlgProc, reinterpret_cast<LPARAM>(&welcome));
  // A worker that still runs (a name lookup cannot be broken, an installation is not) must not
  // meet the run being torn down: it is given a while, then the process ends without that.
  context.CancelRequested.Set();
  if (!context.DownloadThread.WaitFor(kExitGraceMs)) {
    context.log.Write("a cancelled download still runs: ending at once, exit code 0");
    TerminateProcess(GetCurrentProcess(), 0);
  }
  // With the dialogs the user has seen how each run ended; the exit code stays 0.
  return ExitCodeFor({RunResult::Succeeded});
}

int RunUnattended(RunContext& context) {
  QuietView view(context.log);
  return ExitCodeFor(RunDownload(context, view));
}

int RunForPartner(const CommandLine& options, RunLog& log, const PartnerKeys* keys) {
  PartnerFile partner_file = ReadPartnerFile();
  if (!partner_file.id) {
    log.Write("partner.dat gives no usable partner identifier: %s: %s", partner_file.path.c_str(),
              partner_file.problem.c_str());
    return ExitCodeFor({RunResult::NoPartnerId});
  }
  RunContext context(std::move(*partner_file.id), log, keys);
  context.setup = options.setup;
  const char* partner = context.partner_id.c_str();
  log.Write("partner %s from %s", partner, partner_file.path.c_str());
  PartnerLock lock;
  if (!lock.Acquire(partner)) {
    if (lock.Error() == ERROR_ALREADY_EXISTS) {
      log.Write("a wizard for partner %s is already running", partner);
    } else {
      log.Write("the lock for partner %s cannot be made, %s: ending as when another wizard runs",
                partner, ErrorText(lock.Error()).c_str());
    }
    if (options.quiet) return ExitCodeFor({RunResult::AlreadyRunning});
    RaiseRunningWizard();
    return ExitCodeFor({RunResult::Succeeded});
  }
  if (options.quiet) return RunUnattended(context);
  return RunWizard(context);
}

// The program's own file vouches for the keys it carries before anything beside it is read.
int RunTrustedProgram(const CommandLine& options, RunLog& log) {
  // Held until the program ends, so that its file cannot change while it runs.
  const ProgramTrust program = TrustProgram(log);
  if (!program.refusal) return RunForPartner(options, log, program.keys.get());
  if (!options.quiet) {
    ShowResMessage(nullptr,
                   *program.refusal == RunResult::OldKeyLayout ? IDS_PARTNER_EDITION_NEEDED
                                                               : IDS_PROGRAM_CHANGED,
                   kErrorCaption, MB_OK | MB_ICONSTOP);
  }
  return ExitCodeFor({*program.refusal});
}

}  // namespace

int RunProgram(const char* command_line) {
  const CommandLine options = ParseCommandLine(command_line);
  const std::string language = ChooseRunLanguage(options);
  const bool bad_switch = !options.bad_switch.empty();
  if (options.help && !bad_switch) {
    if (!options.quiet) ShowUsage(options);
    return ExitCodeFor({RunResult::Succeeded});
  }
  RunLog log;
  // With the dialogs a log that cannot be opened is not worth stopping for; nor after a bad
  // switch, whose own exit code says more.
  if (!options.log_path.empty() && !log.Open(options.log_path.c_str()) && options.quiet &&
      !bad_switch) {
    return ExitCodeFor({RunResult::LogUnavailable});
  }
  log.Write("OrvexDownload %s started, command line \"%s\"", ProgramVersion().c_str(),
            command_line != nullptr ? command_line : "");
  log.Write("%s", language.c_str());
  const int code = bad_switch ? RefuseBadSwitch(options, log) : RunTrustedProgram(options, log);
  log.Write("exit code %d", code);
  return code;
}
