#include "net/http/content_range.h"
#include "net/http/http_date.h"

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

TEST(ContentRange, ContinuesOnlyTheSameVersionAtItsCut) {
  const char* kDate = "Tue, 01 Dec 2026 10:00:00 GMT";
  const ResumePoint point{1000, 5000, {"\"v1\"", false}};
  const ResumePoint by_date{1000, 5000, {kDate, true}};
  struct Case {
    const char* what;
    const ResumePoint& point;
    const char* range;
    std::optional<std::uint32_t> length;
    const char* etag;
    const char* last_modified;
    bool continues;
  };
  const Case cases[] = {
      {"the rest", point, "bytes 1000-4999/5000", 4000, "\"v1\" ", "", true},
      {"another start", point, "bytes 999-4999/5000", 4001, "\"v1\"", "", false},
      {"another total", point, "bytes 1000-5999/6000", 5000, "\"v1\"", "", false},
      {"not to the end", point, "bytes 1000-2999/5000", 2000, "\"v1\"", "", false},
      {"another ETag", point, "bytes 1000-4999/5000", 4000, "\"v2\"", "", false},
      {"no ETag", point, "bytes 1000-4999/5000", 4000, "", kDate, false},
      {"a wrong length", point, "bytes 1000-4999/5000", 3999, "\"v1\"", "", false},
      {"no length", point, "bytes 1000-4999/5000", std::nullopt, "\"v1\"", "", false},
      // Asked for by date, the rest must carry that date: a server that ignores If-Range
      // sends another version's.
      {"the same date", by_date, "bytes 1000-4999/5000", 4000, "\"any\"", kDate, true},
      {"another date", by_date, "bytes 1000-4999/5000", 4000, "", "Tue, 01 Dec 2026 10:00:07 GMT",
       false},
      {"no date", by_date, "bytes 1000-4999/5000", 4000, "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ContinuesFile(c.point, c.range, c.length, c.etag, c.last_modified), c.continues);
  }
}

// If-Range names a strong ETag, else a Last-Modified at least a second older than the reply's
// Date; without either a cut file starts over.
TEST(ContentRange, ValidatorIsAStrongETagElseAStrongDate) {
  const std::string modified = "Tue, 01 Dec 2026 10:00:00 GMT";
  const std::string later = "Tue, 01 Dec 2026 10:00:01 GMT";
  const struct {
    std::string etag, last_modified, date;
    const char* value;
    bool is_date;
  } cases[] = {
      {"\"abc\"", modified, later, "\"abc\"", false},
      {" \"abc\"  ", "", "", "\"abc\"", false},
      {"W/\"abc\"", modified, later, "Tue, 01 Dec 2026 10:00:00 GMT", true},
      {"", modified + " ", "Wed, 02 Dec 2026 09:00:00 GMT", "Tue, 01 Dec 2026 10:00:00 GMT", true},
      {"", modified, modified, "", false},  // changed again within that second, perhaps
      {"", later, modified, "", false},
      {"", "Tuesday, 01-Dec-26 10:00:00 GMT", later, "", false},  // an obsolete form
      // Nothing that could end the request's line goes into it.
      {"\"a\r\nX-Evil: 1\"", "", "", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.etag + "|" + c.last_modified + "|" + c.date);
    const StrongValidator validator = StrongValidatorOf(c.etag, c.last_modified, c.date);
    EXPECT_EQ(validator.value, c.value);
    EXPECT_EQ(validator.is_date, c.is_date);
  }
}

TEST(HttpDate, ReadsThePreferredFormOnly) {
  const struct {
    const char* text;
    std::optional<std::int64_t> seconds;
  } cases[] = {
      {"Thu, 01 Jan 1970 00:00:00 GMT", 0},
      {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
      {"  Tue, 29 Feb 2028 23:59:60 GMT\t", 1835481600},  // a leap day and a leap second
      {"Sun, 06 Nov 1994 08:49:37 UTC", std::nullopt},
      {"Sun, 31 Nov 1994 08:49:37 GMT", std::nullopt},
      {"Sunday, 06-Nov-94 08:49:37 GMT", std::nullopt},
      {"Sun Nov  6 08:49:37 1994", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseHttpDate(c.text), c.seconds) << c.text;
}

}  // namespace
