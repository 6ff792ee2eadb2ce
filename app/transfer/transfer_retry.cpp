#include "app/transfer/transfer_retry.h"

#include <algorithm>

#include "base/ascii.h"

namespace {

// The pauses after the first and the second try.
constexpr std::uint32_t kPauseMs[kTransferTries - 1] = {1000, 3000};

// A Retry-After of delta-seconds; none for a date or anything else.
std::optional<std::uint32_t> RetryAfterSeconds(const std::string& value) {
  const std::size_t first = value.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  const char* cursor = value.data() + first;
  const char* end = value.data() + value.find_last_not_of(" \t") + 1;
  std::uint32_t seconds = 0;
  if (ReadDecimal32(&cursor, end, &seconds) && cursor == end) return seconds;
  // More seconds than 32 bits hold is still a number, and far beyond any wait.
  if (std::all_of(cursor, end, [](char c) { return IsAsciiDigit(c); })) return 0xFFFFFFFFu;
  return std::nullopt;
}

}  // namespace

bool IsTransient(const TransferResult& result) {
  switch (result.error) {
    case TransferError::Connect:  // refused, reset or timed out while connecting
    case TransferError::Send:     // the connection broke under the request
    case TransferError::CutShort:
    case TransferError::Stalled:
    case TransferError::ReceiveFailed:
    case TransferError::RangeRefused:  // the next try asks for the whole file
      return true;
    case TransferError::HttpStatus:
      switch (result.http_status) {
        case 408:
        case 429:
        case 500:
        case 502:
        case 503:
        case 504:
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

std::optional<std::uint32_t> RetryPauseMs(const TransferResult& result,
                                          const std::string& retry_after, int tries_done) {
  if (tries_done < 1 || tries_done >= kTransferTries || !IsTransient(result)) return std::nullopt;
  const bool asks_for_time = result.error == TransferError::HttpStatus &&
                             (result.http_status == 429 || result.http_status == 503);
  if (asks_for_time) {
    if (const std::optional<std::uint32_t> seconds = RetryAfterSeconds(retry_after)) {
      if (*seconds > kLongestRetryAfterSeconds) return std::nullopt;
      return *seconds * 1000;
    }
  }
  return kPauseMs[tries_done - 1];
}
