#include "app/report/exit_codes.h"

const ExitCodeEntry kExitCodes[] = {
    {kExitSucceeded, true, RunResult::Succeeded, "success"},
    {kExitNoPartnerId, false, RunResult::Succeeded, "partner.dat gives no usable identifier"},
    {2, true, RunResult::HostNotResolved, "server name not resolved"},
    {3, true, RunResult::CannotConnect, "cannot connect"},
    {4, true, RunResult::SendFailed, "request not sent"},
    {5, true, RunResult::ReplyCutShort, "reply cut short"},
    {6, true, RunResult::CannotStoreFile, "file cannot be stored"},
    {7, true, RunResult::DownloadListMissing, "download list missing"},
    {8, true, RunResult::IndexFileUnreadable, "index file unreadable"},
    {9, true, RunResult::SetupIncomplete, "setup not completed"},
    {kExitSetupDigest, true, RunResult::SetupDigestMismatch, "setup digest mismatch"},
    {kExitProxyAuth, true, RunResult::ProxyAuthRequired, "proxy asks for credentials"},
    {kExitBadSwitch, false, RunResult::Succeeded, "bad switch"},
    {kExitLogUnavailable, false, RunResult::Succeeded, "log cannot be opened"},
    {kExitAlreadyRunning, false, RunResult::Succeeded, "already running for this partner"},
    {kExitHttpStatusBase, true, RunResult::HttpStatus, "HTTP status other than 200"},
};
const std::size_t kExitCodeCount = sizeof kExitCodes / sizeof kExitCodes[0];

int ExitCodeFor(const Outcome& outcome) {
  for (const ExitCodeEntry& entry : kExitCodes) {
    if (!entry.run_result || entry.result != outcome.result) continue;
    if (outcome.result == RunResult::HttpStatus) return entry.code + outcome.http_status;
    return entry.code;
  }
  return 1;
}

std::string ExitCodeLines() {
  std::string lines;
  for (const ExitCodeEntry& entry : kExitCodes) {
    if (!lines.empty()) lines += '\n';
    lines += std::to_string(entry.code);
    if (entry.run_result && entry.result == RunResult::HttpStatus) lines += " + status";
    lines += '\t';
    lines += entry.meaning;
  }
  return lines;
}
