#include "net/http/content_range.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(ContentRange, ParsesOnlyAWholeSingleRange) {
  struct Case {
    const char* value;
    bool valid;
    std::uint32_t first, last, total;
  };
  const Case cases[] = {
      {"bytes 1000-4999/5000", true, 1000, 4999, 5000},
      {" BYTES  0-0/1 ", true, 0, 0, 1},
      {"bytes 0-4294967294/4294967295", true, 0, 4294967294u, 4294967295u},
      {"bytes 1000-4999/*", false, 0, 0, 0},
      {"bytes */5000", false, 0, 0, 0},
      {"bytes 5-4/10", false, 0, 0, 0},          // first beyond last
      {"bytes 0-10/10", false, 0, 0, 0},         // last beyond the file
      {"bytes 0-1/4294967296", false, 0, 0, 0},  // more than 32 bits
      {"bytes 0-1/5, 3-4/5", false, 0, 0, 0},    // a list
      {"bytes=0-1/5", false, 0, 0, 0},           // the request's form
      {"items 0-1/5", false, 0, 0, 0},
      {"bytes 0-1/5x", false, 0, 0, 0},
      {"", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const std::optional<ContentRange> range = ParseContentRange(c.value);
    ASSERT_EQ(range.has_value(), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(range->first, c.first);
    EXPECT_EQ(range->last, c.last);
    EXPECT_EQ(range->total, c.total);
  }
}

TEST(ContentRange, ContinuesOnlyTheSameFileAtItsCut) {
  const ResumePoint point{1000, 5000, "\"v1\"", "\"v1\""};
  const ResumePoint no_etag{1000, 5000, "", "Tue, 01 Dec 2026 10:00:00 GMT"};
  struct Case {
    const char* what;
    const ResumePoint& point;
    const char* range;
    std::optional<std::uint32_t> length;
    const char* etag;
    bool continues;
  };
  const Case cases[] = {
      {"the rest", point, "bytes 1000-4999/5000", 4000, "\"v1\"", true},
      {"another start", point, "bytes 999-4999/5000", 4001, "\"v1\"", false},
      {"another total", point, "bytes 1000-5999/6000", 5000, "\"v1\"", false},
      {"not to the end", point, "bytes 1000-2999/5000", 2000, "\"v1\"", false},
      {"another ETag", point, "bytes 1000-4999/5000", 4000, "\"v2\"", false},
      {"no ETag", point, "bytes 1000-4999/5000", 4000, "", false},
      {"a wrong length", point, "bytes 1000-4999/5000", 3999, "\"v1\"", false},
      {"no length", point, "bytes 1000-4999/5000", std::nullopt, "\"v1\"", false},
      {"first reply without ETag", no_etag, "bytes 1000-4999/5000", 4000, "\"any\"", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ContinuesFile(c.point, c.range, c.length, c.etag), c.continues);
  }
}

TEST(ContentRange, ValidatorIsAStrongETagElseLastModified) {
  const std::string date = "Tue, 01 Dec 2026 10:00:00 GMT";
  EXPECT_EQ(ResumeValidator("\"abc\"", date), "\"abc\"");
  EXPECT_EQ(ResumeValidator("W/\"abc\"", date), date);
  EXPECT_EQ(ResumeValidator("", date), date);
  EXPECT_EQ(ResumeValidator("W/\"abc\"", ""), "");
  // Nothing that could end the request's line goes into it.
  EXPECT_EQ(ResumeValidator("\"a\r\nX-Evil: 1\"", ""), "");
}

}  // namespace
