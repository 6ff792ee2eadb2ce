#include "app/exit_codes.h"

int ExitCodeFor(const Outcome& outcome) {
  switch (outcome.result) {
    case RunResult::Succeeded:
      return kExitSucceeded;
    case RunResult::HostNotResolved:
      return 2;
    case RunResult::CannotConnect:
      return 3;
    case RunResult::SendFailed:
      return 4;
    case RunResult::ReplyCutShort:
      return 5;
    case RunResult::CannotStoreFile:
      return 6;
    case RunResult::DownloadListMissing:
      return 7;
    case RunResult::IndexFileUnreadable:
      return 8;
    case RunResult::SetupIncomplete:
      return 9;
    case RunResult::SetupDigestMismatch:
      return kExitSetupDigest;
    case RunResult::HttpStatus:
      return kExitHttpStatusBase + outcome.http_status;
  }
  return 1;
}
