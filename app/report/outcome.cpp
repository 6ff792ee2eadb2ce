#include "app/report/outcome.h"

const char* RunResultName(RunResult result) {
  switch (result) {
    case RunResult::Succeeded:
      return "Succeeded";
    case RunResult::HostNotResolved:
      return "HostNotResolved";
    case RunResult::CannotConnect:
      return "CannotConnect";
    case RunResult::SendFailed:
      return "SendFailed";
    case RunResult::ReplyCutShort:
      return "ReplyCutShort";
    case RunResult::HttpStatus:
      return "HttpStatus";
    case RunResult::CannotStoreFile:
      return "CannotStoreFile";
    case RunResult::DownloadListMissing:
      return "DownloadListMissing";
    case RunResult::IndexFileUnreadable:
      return "IndexFileUnreadable";
    case RunResult::SetupIncomplete:
      return "SetupIncomplete";
    case RunResult::SetupDigestMismatch:
      return "SetupDigestMismatch";
    case RunResult::ProxyAuthRequired:
      return "ProxyAuthRequired";
  }
  return "Unknown";
}

Outcome OutcomeOf(const TransferResult& transfer) {
  switch (transfer.error) {
    case TransferError::None:
      return {RunResult::Succeeded, 0};
    case TransferError::Resolve:
      return {RunResult::HostNotResolved, 0};
    // A scheme the program cannot speak is refused like a server that cannot be reached.
    case TransferError::UnsupportedScheme:
    case TransferError::Connect:
    case TransferError::TlsRefused:
      return {RunResult::CannotConnect, 0};
    case TransferError::Send:
      return {RunResult::SendFailed, 0};
    case TransferError::CutShort:
    case TransferError::Malformed:
    case TransferError::Stalled:
    case TransferError::ReceiveFailed:
    case TransferError::RangeRefused:
      return {RunResult::ReplyCutShort, 0};
    case TransferError::HttpStatus:
      return {RunResult::HttpStatus, transfer.http_status};
    case TransferError::ProxyAuthRequired:
      return {RunResult::ProxyAuthRequired, 0};
  }
  return {RunResult::ReplyCutShort, 0};
}

std::int32_t ResultCode(const Outcome& outcome) {
  switch (outcome.result) {
    case RunResult::Succeeded:
      return 0;
    case RunResult::HostNotResolved:
      return -1;
    case RunResult::CannotConnect:
      return -2;
    case RunResult::SendFailed:
      return -3;
    case RunResult::ReplyCutShort:
      return -4;
    case RunResult::HttpStatus:
      return outcome.http_status;
    // A missing download list has always ended the run like a file that cannot be stored.
    case RunResult::CannotStoreFile:
    case RunResult::DownloadListMissing:
    case RunResult::SetupDigestMismatch:
      return -5;
    case RunResult::IndexFileUnreadable:
      return -1;
    case RunResult::SetupIncomplete:
      return -6;
    // Not one the page acts on by itself: the stop question follows, as after any failure.
    case RunResult::ProxyAuthRequired:
      return -7;
  }
  return -5;
}
