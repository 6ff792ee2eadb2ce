#include "app/report/outcome.h"

#include <iterator>

namespace {

// Every result once: its name, its exit code and what the usage box says of it.
struct ResultRow {
  RunResult result;
  const char* name;
  int exit_code;
  const char* meaning;
};

constexpr int kHttpStatusExitBase = 1000;

constexpr ResultRow kResults[] = {
    {RunResult::Succeeded, "Succeeded", 0, "success"},
    {RunResult::NoPartnerId, "NoPartnerId", -1, "partner.dat gives no usable identifier"},
    {RunResult::HostNotResolved, "HostNotResolved", 2, "server name not resolved"},
    {RunResult::CannotConnect, "CannotConnect", 3, "cannot connect"},
    {RunResult::SendFailed, "SendFailed", 4, "request not sent"},
    {RunResult::ReplyCutShort, "ReplyCutShort", 5, "reply cut short"},
    {RunResult::CannotStoreFile, "CannotStoreFile", 6, "file cannot be stored"},
    {RunResult::DownloadListMissing, "DownloadListMissing", 7, "download list missing"},
    {RunResult::IndexFileUnreadable, "IndexFileUnreadable", 8, "index file unreadable"},
    {RunResult::SetupIncomplete, "SetupIncomplete", 9, "setup not completed"},
    {RunResult::SetupDigestMismatch, "SetupDigestMismatch", 10, "setup digest mismatch"},
    {RunResult::ProxyAuthRequired, "ProxyAuthRequired", 11, "proxy asks for credentials"},
    {RunResult::PackageNotVerified, "PackageNotVerified", 12, "package not verified"},
    {RunResult::SetupNotSigned, "SetupNotSigned", 13, "setup not vouched for, not started"},
    {RunResult::ServerStalled, "ServerStalled", 14, "server stalled"},
    {RunResult::SetupTimedOut, "SetupTimedOut", 15, "setup still running at /setuptimeout"},
    {RunResult::BadSwitch, "BadSwitch", 20, "bad switch"},
    {RunResult::LogUnavailable, "LogUnavailable", 21, "log cannot be opened"},
    {RunResult::AlreadyRunning, "AlreadyRunning", 22, "already running for this partner"},
    {RunResult::OldKeyLayout, "OldKeyLayout", 23, "partner.pub beside a program without keys"},
    {RunResult::ProgramNotTrusted, "ProgramNotTrusted", 24, "program changed or unreadable"},
    {RunResult::HttpStatus, "HttpStatus", kHttpStatusExitBase, "HTTP status other than 200"},
};

const ResultRow* RowOf(RunResult result) {
  for (const ResultRow& row : kResults) {
    if (row.result == result) return &row;
  }
  return nullptr;
}

}  // namespace

Outcome OutcomeOf(const TransferResult& transfer) {
  switch (transfer.error) {
    case TransferError::None:
      return {RunResult::Succeeded, 0};
    case TransferError::Resolve:
      return {RunResult::HostNotResolved, 0};
    // A URL the program cannot fetch as written is refused like a server that cannot be
    // reached; so is a redirect that would leave https or go to another scheme, as a refused
    // certificate is.
    case TransferError::UnsupportedScheme:
    case TransferError::MalformedUrl:
    case TransferError::Connect:
    case TransferError::TlsRefused:
    case TransferError::RedirectRefused:
      return {RunResult::CannotConnect, 0};
    case TransferError::Send:
      return {RunResult::SendFailed, 0};
    // A server that is there but does not deliver: a tool running the program unattended may
    // try again later, or elsewhere.
    case TransferError::Stalled:
      return {RunResult::ServerStalled, 0};
    case TransferError::CutShort:
    case TransferError::Malformed:
    case TransferError::ReceiveFailed:
    case TransferError::RangeRefused:
    case TransferError::RedirectMalformed:
      return {RunResult::ReplyCutShort, 0};
    case TransferError::HttpStatus:
    // A redirect not followed ends with its status, as every redirect did before any was.
    case TransferError::TooManyRedirects:
      return {RunResult::HttpStatus, transfer.http_status};
    case TransferError::ProxyAuthRequired:
      return {RunResult::ProxyAuthRequired, 0};
  }
  return {RunResult::ReplyCutShort, 0};
}

const char* RunResultName(RunResult result) {
  const ResultRow* row = RowOf(result);
  return row != nullptr ? row->name : "Unknown";
}

int ExitCodeFor(const Outcome& outcome) {
  const ResultRow* row = RowOf(outcome.result);
  if (row == nullptr) return 1;
  if (outcome.result == RunResult::HttpStatus) return row->exit_code + outcome.http_status;
  return row->exit_code;
}

std::string ExitCodeLines() {
  constexpr std::size_t kRows = (std::size(kResults) + 1) / 2;
  std::string lines;
  for (std::size_t i = 0; i < 2 * kRows; ++i) {
    // The second half beside the first, after an empty column.
    const std::size_t at = i / 2 + (i % 2) * kRows;
    lines += i == 0 ? "" : i % 2 == 0 ? "\n" : "\t\t";
    if (at == std::size(kResults)) {
      lines += '\t';
      continue;
    }
    const ResultRow& row = kResults[at];
    lines += std::to_string(row.exit_code);
    if (row.result == RunResult::HttpStatus) lines += " + status";
    lines += '\t';
    lines += row.meaning;
  }
  return lines;
}

std::int32_t ResultCode(const Outcome& outcome) {
  switch (outcome.result) {
    case RunResult::Succeeded:
      return 0;
    case RunResult::HostNotResolved:
    case RunResult::IndexFileUnreadable:
      return -1;
    case RunResult::CannotConnect:
      return -2;
    case RunResult::SendFailed:
      return -3;
    case RunResult::ReplyCutShort:
    case RunResult::ServerStalled:
      return -4;
    case RunResult::HttpStatus:
      return outcome.http_status;
    // A missing download list has always ended the run like a file that cannot be stored.
    case RunResult::CannotStoreFile:
    case RunResult::DownloadListMissing:
    case RunResult::SetupDigestMismatch:
    case RunResult::PackageNotVerified:
    case RunResult::SetupNotSigned:
      return -5;
    case RunResult::SetupIncomplete:
    case RunResult::SetupTimedOut:
      return -6;
    // Not one the page acts on by itself: the stop question follows, as after any failure.
    case RunResult::ProxyAuthRequired:
      return -7;
    // Never the end of a run: the program ends before one.
    case RunResult::NoPartnerId:
    case RunResult::BadSwitch:
    case RunResult::LogUnavailable:
    case RunResult::AlreadyRunning:
    case RunResult::OldKeyLayout:
    case RunResult::ProgramNotTrusted:
      break;
  }
  return -5;
}
