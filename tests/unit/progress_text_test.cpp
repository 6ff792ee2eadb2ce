#include "app/report/progress_text.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

const ProgressTexts kTexts = {"%s of %s (%s/s, %s left)",
                              "%s of %s (%s/s)",
                              "%s of %s",
                              "%s KB",
                              "%s MB",
                              "%s GB",
                              "%s s",
                              "%s min",
                              "%s h"};
constexpr std::uint64_t kKB = 1024;
constexpr std::uint64_t kMB = 1024 * kKB;

TEST(ProgressText, LinesForEveryStage) {
  struct Case {
    std::uint64_t done;
    std::optional<std::uint64_t> total;
    std::optional<double> speed;
    const char* line;
  };
  const Case cases[] = {
      {1310720, 3617587, 420 * 1024.0, "1.2 MB of 3.4 MB (420 KB/s, 6 s left)"},
      {1310720, std::nullopt, 420 * 1024.0, "1.2 MB"},                // no length: the amount alone
      {300, 3 * kMB, std::nullopt, "0.2 KB of 3.0 MB"},               // no speed yet
      {0, 3 * kMB, 0.0, "0.0 KB of 3.0 MB"},                          // stalled
      {kMB - 1, 1024 * kMB, 1000.0, "1023 KB of 1.0 GB (0.9 KB/s)"},  // 100 h or more,
      {0, 60 * kMB, 1 * kMB * 1.0, "0.0 KB of 60.0 MB (1.0 MB/s, 1 min left)"},
      {0, 61 * kMB, 1 * kMB * 1.0, "0.0 KB of 61.0 MB (1.0 MB/s, 2 min left)"},  // rounded up
      {0, 7200 * kMB, 1 * kMB * 1.0, "0.0 KB of 7.0 GB (1.0 MB/s, 2 h left)"},
      {10 * kKB - 1, 5 * kMB, 1.0 * kMB, "9.9 KB of 5.0 MB (1.0 MB/s, 5 s left)"},
      {3 * kMB, 3 * kMB, 1.0 * kMB, "3.0 MB of 3.0 MB (1.0 MB/s, 0 s left)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(ProgressLine(c.done, c.total, c.speed, kTexts), c.line);
  }
}

// The speed is what came over the last few seconds, not since the start.
TEST(ProgressText, SpeedIsAveragedOverTheLastSeconds) {
  SpeedMeter meter;
  meter.Start(5000, 0);  // bytes already on disk do not count
  meter.Add(6000, 500);
  EXPECT_FALSE(meter.BytesPerSecond());  // under a second
  std::uint64_t done = 6000;
  std::uint32_t ms = 500;
  for (; ms < 10000; ms += 100) meter.Add(done += 100, ms + 100);  // 1000 bytes/s
  ASSERT_TRUE(meter.BytesPerSecond());
  EXPECT_NEAR(*meter.BytesPerSecond(), 1000.0, 30.0);
  for (; ms < 20000; ms += 100) meter.Add(done += 1000, ms + 100);  // then 10000 bytes/s
  EXPECT_NEAR(*meter.BytesPerSecond(), 10000.0, 300.0);
  // A stall brings the speed down within the window.
  meter.Add(done, ms + SpeedMeter::kWindowMs + 500);
  EXPECT_LT(*meter.BytesPerSecond(), 2500.0);
}

}  // namespace
