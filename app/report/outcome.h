// How a transfer, a run or the whole program ended: one result type, from a transfer's error to
// the program's exit code, the log's name for it and the closing command's number. A server's
// HTTP status travels beside it, never as one of these.
#pragma once

#include <cstdint>
#include <string>

#include "net/request/transfer_result.h"

enum class RunResult : std::uint8_t {
  Succeeded,
  HostNotResolved,      // the server's name could not be resolved
  CannotConnect,        // no connection could be made (or no socket, no transfer thread)
  SendFailed,           // the request could not be sent
  ReplyCutShort,        // the reply was cut short, broken or malformed
  ServerStalled,        // the server fell silent, or sent too slowly ever to finish
  SetupTimedOut,        // the messenger's setup still ran at /setuptimeout: left running
  HttpStatus,           // the server answered with a status other than 200
  CannotStoreFile,      // a file could not be created, written or installed
  DownloadListMissing,  // OrvexDownload.dat is missing or names no file
  IndexFileUnreadable,  // the downloaded index file could not be opened
  SetupIncomplete,      // the messenger is still missing or too old, or its folder is unknown
  SetupDigestMismatch,  // the setup program is not the one the index file's digest names
  ProxyAuthRequired,    // the proxy asks for credentials (407)
  PackageNotVerified,   // with a partner key: a signature or a package file's digest fails
  SetupNotSigned,       // nothing vouches for the setup program's bytes: it was not started
  // The program ends before any run:
  OldKeyLayout,       // a partner.pub beside a program that carries no partner keys
  ProgramNotTrusted,  // the program's own file or the signature it carries does not hold
  NoPartnerId,        // partner.dat gives no usable identifier
  BadSwitch,          // a switch the program does not know
  LogUnavailable,     // the /log file cannot be opened (unattended runs only)
  AlreadyRunning,     // a wizard for the same partner runs (unattended runs only)
};

struct Outcome {
  RunResult result = RunResult::Succeeded;
  std::int32_t http_status = 0;  // the server's status, with RunResult::HttpStatus only

  bool Succeeded() const { return result == RunResult::Succeeded; }
  bool operator==(const Outcome& other) const {
    return result == other.result && http_status == other.http_status;
  }
};

// What a transfer's end means for the run: a TLS refusal is a connection that cannot be made,
// and a reply cut short, stalled, broken or malformed is one outcome.
Outcome OutcomeOf(const TransferResult& transfer);

// The result's name, as the log prints it ("CannotConnect").
const char* RunResultName(RunResult result);

// The program's exit code for the outcome: one per result, so that a script can tell them apart;
// an HTTP status exits with 1000 plus the status.
int ExitCodeFor(const Outcome& outcome);

// The exit codes as the usage box lists them, in two columns: lines of "code<TAB>meaning", then
// after two tabs the code and meaning of the second half of the list.
std::string ExitCodeLines();

// The number the download worker's closing command carries to the progress page: 0 for
// success, -1 to -7 for the run's own results, the status itself for an HTTP status.
std::int32_t ResultCode(const Outcome& outcome);
