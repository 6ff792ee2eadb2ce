#include "net/http/content_range.h"

#include "base/ascii.h"
#include "net/http/header_map.h"
#include "net/http/http_date.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Decimal digits at text[*at] worth less than 2^32; *at moves past them.
bool ReadNumber(const std::string& text, std::size_t* at, std::uint32_t* number) {
  const char* cursor = text.data() + *at;
  if (!ReadDecimal32(&cursor, text.data() + text.size(), number)) return false;
  *at = static_cast<std::size_t>(cursor - text.data());
  return true;
}

bool Expect(const std::string& text, std::size_t* at, char c) {
  if (*at >= text.size() || text[*at] != c) return false;
  ++*at;
  return true;
}

}  // namespace

std::optional<ContentRange> ParseContentRange(const std::string& value) {
  std::size_t at = 0;
  while (at < value.size() && IsBlank(value[at])) ++at;
  static const char kUnit[] = "bytes";
  for (const char* u = kUnit; *u != '\0'; ++u, ++at) {
    if (at >= value.size() || AsciiLower(value[at]) != *u) return std::nullopt;
  }
  if (at >= value.size() || !IsBlank(value[at])) return std::nullopt;
  while (at < value.size() && IsBlank(value[at])) ++at;
  ContentRange range;
  if (!ReadNumber(value, &at, &range.first) || !Expect(value, &at, '-') ||
      !ReadNumber(value, &at, &range.last) || !Expect(value, &at, '/') ||
      !ReadNumber(value, &at, &range.total)) {
    return std::nullopt;
  }
  while (at < value.size() && IsBlank(value[at])) ++at;
  if (at != value.size() || range.first > range.last || range.last >= range.total) {
    return std::nullopt;
  }
  return range;
}

StrongValidator StrongValidatorOf(const std::string& etag, const std::string& last_modified,
                                  const std::string& date) {
  StrongValidator validator;
  // If-Range takes no weak ETag: a server would ignore it and send the whole file.
  if (!etag.empty() && etag.compare(0, 2, "W/") != 0) {
    validator.value = WithoutBlanksAround(etag);
  } else {
    const std::optional<std::int64_t> modified = ParseHttpDate(last_modified);
    const std::optional<std::int64_t> sent = ParseHttpDate(date);
    if (!modified || !sent || *sent < *modified + 1) return validator;
    validator.value = WithoutBlanksAround(last_modified);
    validator.is_date = true;
  }
  for (const char c : validator.value) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return StrongValidator{};
  }
  return validator;
}

bool ContinuesFile(const ResumePoint& point, const std::string& content_range,
                   std::optional<std::uint32_t> content_length, const std::string& etag,
                   const std::string& last_modified) {
  const std::optional<ContentRange> range = ParseContentRange(content_range);
  if (!range || range->first != point.offset || range->total != point.total ||
      range->last != point.total - 1) {
    return false;
  }
  if (!content_length || *content_length != point.total - point.offset) return false;
  const std::string& carried = point.validator.is_date ? last_modified : etag;
  return !point.validator.value.empty() && WithoutBlanksAround(carried) == point.validator.value;
}
