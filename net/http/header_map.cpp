#include "net/http/header_map.h"

#include <cstring>

#include "base/ascii.h"

namespace {
// White space within a line: no line end.
bool IsBlank(char c) {
  return IsAsciiSpace(c) && c != '\r' && c != '\n';
}

unsigned char FoldCase(unsigned char c) {
  return static_cast<unsigned char>(AsciiLower(static_cast<char>(c)));
}

std::uint16_t ReadVersionNumber(const char*& cursor) {
  std::uint16_t value = 0;
  while (IsAsciiDigit(*cursor)) value = static_cast<std::uint16_t>(value * 10 + (*cursor++ - '0'));
  return value;
}

// The status number as atoi reads it, but never beyond the status line: at the line's end
// there is no number. A number too large for 32 bits saturates rather than wrapping into a
// status that looks valid.
std::int32_t ReadStatusNumber(const char*& cursor) {
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  const char* digits = cursor;
  bool negative = false;
  if (*digits == '+' || *digits == '-') negative = *digits++ == '-';
  if (!IsAsciiDigit(*digits)) return 0;
  std::int64_t value = 0;
  while (IsAsciiDigit(*digits)) {
    value = value * 10 + (*digits++ - '0');
    if (value > kLimit) value = kLimit;
  }
  cursor = digits;
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(value < kLimit ? value : kLimit - 1);
}

// The end of the line at cursor: its "\r\n", or the end of the block. Looks no further than
// that, so a block of many lines is read in one pass.
const char* LineEnd(const char* cursor) {
  while (*cursor != '\0' && !(cursor[0] == '\r' && cursor[1] == '\n')) ++cursor;
  return cursor;
}
}  // namespace

bool HeaderMap::CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
  std::size_t length = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < length; ++i) {
    unsigned char x = FoldCase(static_cast<unsigned char>(a[i]));
    unsigned char y = FoldCase(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

HeaderMap::HeaderMap() = default;

void HeaderMap::Clear() {
  {
    LockGuard guard(lock_);
    pairs_.clear();
  }
  HttpVersion = 0;
  StatusCode = 0;
  ReasonPhrase.clear();
}

bool HeaderMap::SameName(const std::string& a, const char* b) {
  const std::size_t length = std::strlen(b);
  return a.size() == length && EqualsIgnoringAsciiCase(a.data(), b, length);
}

bool HeaderMap::Parse(const char* block, LineObserver* observer) {
  Clear();
  if (block == nullptr) return true;

  // The caller has checked that the block begins with "HTTP/"; never step over its end.
  const char* cursor = block;
  for (int i = 0; i < 5 && *cursor != '\0'; ++i) ++cursor;

  std::uint32_t major = ReadVersionNumber(cursor);
  if (*cursor != '\0') ++cursor;
  std::uint32_t minor = ReadVersionNumber(cursor);
  HttpVersion = major << 16 | minor;

  while (IsBlank(*cursor)) ++cursor;
  StatusCode = ReadStatusNumber(cursor);
  while (IsBlank(*cursor)) ++cursor;

  const char* line_end = LineEnd(cursor);
  ReasonPhrase.assign(cursor, line_end);
  cursor = line_end;

  // A field is stored once its folded lines, if any, have been read: at the next line that
  // begins a field, or at the end of the block. Each line begins after the CR LF that ends the
  // one before.
  std::string name;
  std::string value;
  bool in_field = false;
  for (;;) {
    const bool at_end = *cursor == '\0';
    if (!at_end) {
      cursor += 2;
      line_end = LineEnd(cursor);
      if (IsBlank(*cursor)) {
        // A fold: the blanks around the line break become one space. One before the first
        // field continues nothing and is passed over.
        if (in_field) {
          while (!value.empty() && IsBlank(value.back())) value.pop_back();
          while (IsBlank(*cursor)) ++cursor;
          if (!value.empty()) value += ' ';
          value.append(cursor, line_end);
        }
        cursor = line_end;
        continue;
      }
    }
    if (in_field) {
      if (observer != nullptr) {
        observer->OnHeaderLine(name, value.data(), value.data() + value.size());
      }
      LockGuard guard(lock_);
      pairs_[name] = value;  // a name keeps the letter case of its first line
      in_field = false;
    }
    if (at_end) return true;
    const char* colon = static_cast<const char*>(
        std::memchr(cursor, ':', static_cast<std::size_t>(line_end - cursor)));
    if (colon != nullptr) {
      if (colon > cursor && IsBlank(colon[-1])) return false;
      name.assign(cursor, colon);
      const char* text = colon + 1;
      while (IsBlank(*text)) ++text;
      value.assign(text, line_end);
      in_field = true;
    }
    cursor = line_end;
  }
}

std::string HeaderMap::Lookup(const char* name) const {
  if (name == nullptr) return std::string();
  LockGuard guard(lock_);
  auto found = pairs_.find(name);
  return found != pairs_.end() ? found->second : std::string();
}

bool HeaderMap::Contains(const char* name) const {
  if (name == nullptr) return false;
  LockGuard guard(lock_);
  return pairs_.find(name) != pairs_.end();
}

std::string WithoutBlanksAround(const std::string& value) {
  std::size_t begin = 0;
  std::size_t end = value.size();
  while (begin < end && IsBlank(value[begin])) ++begin;
  while (end > begin && IsBlank(value[end - 1])) --end;
  return value.substr(begin, end - begin);
}
