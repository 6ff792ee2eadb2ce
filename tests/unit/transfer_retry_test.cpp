#include "app/transfer_retry.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(TransferRetry, PausesOnlyForFailuresThatMayPass) {
  const auto status = [](int code) { return TransferResult{TransferError::HttpStatus, code, 0}; };
  struct Case {
    TransferResult result;
    const char* retry_after;
    int tries_done;
    std::optional<std::uint32_t> pause_ms;
  };
  const Case cases[] = {
      {{TransferError::Connect, 0, 10061}, "", 1, 1000},
      {{TransferError::Connect, 0, 10061}, "", 2, 3000},
      {{TransferError::Connect, 0, 10061}, "", 3, std::nullopt},  // the last try
      {{TransferError::CutShort, 0, 0}, "", 1, 1000},
      {{TransferError::Stalled, 0, 10060}, "", 1, 1000},
      {{TransferError::ReceiveFailed, 0, 10054}, "", 2, 3000},
      {{TransferError::RangeRefused, 206, 0}, "", 1, 1000},
      {status(408), "", 1, 1000},
      {status(500), "5", 1, 1000},  // Retry-After only for 429 and 503
      {status(502), "", 1, 1000},
      {status(504), "", 2, 3000},
      {status(503), "2", 1, 2000},
      {status(429), " 30 ", 2, 30000},
      {status(503), "31", 1, std::nullopt},  // asks for longer than is waited
      {status(503), "Wed, 09 Dec 2026 10:00:00 GMT", 1, 1000},
      {status(404), "", 1, std::nullopt},
      {status(403), "", 1, std::nullopt},
      {status(206), "", 1, std::nullopt},
      {{TransferError::Resolve, 0, 11001}, "", 1, std::nullopt},
      {{TransferError::TlsRefused, 0, 1}, "", 1, std::nullopt},
      {{TransferError::Malformed, 0, 0}, "", 1, std::nullopt},
      {{TransferError::ProxyAuthRequired, 407, 0}, "", 1, std::nullopt},
      {{TransferError::UnsupportedScheme, 0, 0}, "", 1, std::nullopt},
      {{TransferError::None, 0, 0}, "", 1, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(TransferErrorName(c.result.error)) + " " +
                 std::to_string(c.result.http_status) + " after try " +
                 std::to_string(c.tries_done));
    EXPECT_EQ(RetryPauseMs(c.result, c.retry_after, c.tries_done), c.pause_ms);
  }
}

}  // namespace
