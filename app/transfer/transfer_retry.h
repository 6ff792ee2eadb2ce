// Which failed transfers are tried again, and after how long: a connection that could not be
// made or broke, a reply cut short or stalled, and the statuses a busy or restarting server
// gives are worth another try; what would fail the same way again is not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "net/request/transfer_result.h"

// Tries of one file in all, the first included.
constexpr int kTransferTries = 3;
// The longest Retry-After that is waited for; a server that asks for more is not tried again.
constexpr std::uint32_t kLongestRetryAfterSeconds = 30;

// Whether the failure may go away by itself: then the file is tried again.
bool IsTransient(const TransferResult& result);

// The pause before the next try after the failure of try tries_done (1 for the first); none
// when the failure is final or no try is left. retry_after: the reply's Retry-After, honoured
// for 429 and 503 when it gives a number of seconds (an HTTP date is not read).
std::optional<std::uint32_t> RetryPauseMs(const TransferResult& result,
                                          const std::string& retry_after, int tries_done);
