#include "app/transfer_retry.h"

#include "base/ascii.h"

namespace {

// The pauses after the first and the second try.
constexpr std::uint32_t kPauseMs[kTransferTries - 1] = {1000, 3000};

// A Retry-After of delta-seconds; none for a date or anything else.
std::optional<std::uint32_t> RetryAfterSeconds(const std::string& value) {
  std::size_t at = value.find_first_not_of(" \t");
  const std::size_t end = value.find_last_not_of(" \t");
  if (at == std::string::npos) return std::nullopt;
  std::uint64_t seconds = 0;
  for (; at <= end; ++at) {
    if (!IsAsciiDigit(value[at])) return std::nullopt;
    seconds = seconds * 10 + static_cast<std::uint64_t>(value[at] - '0');
    if (seconds > 0xFFFFFFFFu) seconds = 0xFFFFFFFFu;
  }
  return static_cast<std::uint32_t>(seconds);
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
