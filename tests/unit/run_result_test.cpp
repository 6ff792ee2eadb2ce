#include "base/run_result.h"

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
      {{RunResult::CannotStoreFile, 0}, -5},
      {{RunResult::DownloadListMissing, 0}, -5},
      {{RunResult::SetupDigestMismatch, 0}, -5},
      {{RunResult::SetupIncomplete, 0}, -6},
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

}  // namespace
