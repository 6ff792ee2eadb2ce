#include "app/report/outcome.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(RunResult, CodesAreTheOnesThePagesActOnAndNamesAreDistinct) {
  const struct {
    Outcome outcome;
    std::int32_t code;
  } cases[] = {
      {{RunResult::Succeeded, 0}, 0},
      {{RunResult::HostNotResolved, 0}, -1},
      {{RunResult::IndexFileUnreadable, 0}, -1},
      {{RunResult::CannotConnect, 0}, -2},
      {{RunResult::SendFailed, 0}, -3},
      {{RunResult::ReplyCutShort, 0}, -4},
      {{RunResult::ServerStalled, 0}, -4},
      {{RunResult::CannotStoreFile, 0}, -5},
      {{RunResult::DownloadListMissing, 0}, -5},
      {{RunResult::SetupDigestMismatch, 0}, -5},
      {{RunResult::PackageNotVerified, 0}, -5},
      {{RunResult::SetupNotSigned, 0}, -5},
      {{RunResult::SetupIncomplete, 0}, -6},
      {{RunResult::ProxyAuthRequired, 0}, -7},
      {{RunResult::HttpStatus, 404}, 404},
  };
  std::set<std::string> names;
  for (const auto& c : cases) {
    EXPECT_EQ(ResultCode(c.outcome), c.code) << RunResultName(c.outcome.result);
    names.insert(RunResultName(c.outcome.result));
  }
  EXPECT_EQ(names.size(), std::size(cases));
  EXPECT_EQ(names.count("Unknown"), 0u);
}

TEST(RunResult, EveryTransferErrorHasItsOutcome) {
  const struct {
    TransferError error;
    RunResult result;
  } cases[] = {
      {TransferError::None, RunResult::Succeeded},
      {TransferError::UnsupportedScheme, RunResult::CannotConnect},
      {TransferError::MalformedUrl, RunResult::CannotConnect},
      {TransferError::Resolve, RunResult::HostNotResolved},
      {TransferError::Connect, RunResult::CannotConnect},
      {TransferError::TlsRefused, RunResult::CannotConnect},
      {TransferError::Send, RunResult::SendFailed},
      {TransferError::CutShort, RunResult::ReplyCutShort},
      {TransferError::Malformed, RunResult::ReplyCutShort},
      {TransferError::Stalled, RunResult::ServerStalled},
      {TransferError::ReceiveFailed, RunResult::ReplyCutShort},
      {TransferError::HttpStatus, RunResult::HttpStatus},
      {TransferError::ProxyAuthRequired, RunResult::ProxyAuthRequired},
      {TransferError::RedirectRefused, RunResult::CannotConnect},
      {TransferError::RedirectMalformed, RunResult::ReplyCutShort},
      {TransferError::TooManyRedirects, RunResult::HttpStatus},
  };
  std::set<std::string> names;
  for (const auto& c : cases) {
    const Outcome outcome = OutcomeOf({c.error, 503, 0});
    EXPECT_EQ(outcome.result, c.result) << TransferErrorName(c.error);
    const bool with_status =
        c.error == TransferError::HttpStatus || c.error == TransferError::TooManyRedirects;
    EXPECT_EQ(outcome.http_status, with_status ? 503 : 0);
    names.insert(TransferErrorName(c.error));
  }
  EXPECT_EQ(names.size(), std::size(cases));
  EXPECT_EQ(names.count("Unknown"), 0u);
}

}  // namespace
