#include "app/transfer/transfer_retry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TransferResult Status(int code) {
  return {TransferError::HttpStatus, code, 0};
}

TEST(TransferRetry, PausesOnlyForFailuresThatMayPass) {
  for (int code : {408, 429, 500, 502, 503, 504}) {
    EXPECT_EQ(RetryPauseMs(Status(code), "", 1), 1000u) << code;
    EXPECT_EQ(RetryPauseMs(Status(code), "", 2), 3000u) << code;
    EXPECT_EQ(RetryPauseMs(Status(code), "", 3), std::nullopt) << code;  // the last try
  }
  for (TransferError error :
       {TransferError::Connect, TransferError::Send, TransferError::CutShort,
        TransferError::Stalled, TransferError::ReceiveFailed, TransferError::RangeRefused}) {
    EXPECT_EQ(RetryPauseMs({error, 0, 0}, "", 1), 1000u) << TransferErrorName(error);
  }
  for (int code : {206, 301, 403, 404, 501}) {
    EXPECT_EQ(RetryPauseMs(Status(code), "", 1), std::nullopt) << code;
  }
  for (TransferError error : {TransferError::None, TransferError::Resolve,
                              TransferError::TlsRefused, TransferError::Malformed,
                              TransferError::ProxyAuthRequired, TransferError::UnsupportedScheme}) {
    EXPECT_EQ(RetryPauseMs({error, 0, 0}, "", 1), std::nullopt) << TransferErrorName(error);
  }
}

TEST(TransferRetry, RetryAfterUpToThirtySecondsFor429And503) {
  EXPECT_EQ(RetryPauseMs(Status(503), "2", 1), 2000u);
  EXPECT_EQ(RetryPauseMs(Status(429), " 30 ", 2), 30000u);
  EXPECT_EQ(RetryPauseMs(Status(503), "31", 1), std::nullopt);  // longer than is waited
  EXPECT_EQ(RetryPauseMs(Status(503), "Wed, 09 Dec 2026 10:00:00 GMT", 1), 1000u);
  EXPECT_EQ(RetryPauseMs(Status(500), "5", 1), 1000u);
}

}  // namespace
