#include "app/report/log_text.h"

#include <algorithm>

#include "base/text_format.h"

namespace {
constexpr char kHidden[] = "***";
}  // namespace

std::string RedactUrl(const std::string& url) {
  const std::size_t query = url.find('?');
  std::string head = url.substr(0, query);
  // The user part runs from the scheme's end (and the slashes the parser skips there) to the
  // last '@' before the path; a '@' in the path is no part of it.
  const std::size_t scheme_end = head.find("://");
  std::size_t start = scheme_end == std::string::npos ? 0 : scheme_end + 3;
  while (start < head.size() && (head[start] == ':' || head[start] == '/')) ++start;
  const std::size_t end = std::min(head.find_first_of("/#", start), head.size());
  const std::size_t at = end > start ? head.rfind('@', end - 1) : std::string::npos;
  if (at != std::string::npos && at >= start) head.replace(start, at - start, kHidden);
  if (query != std::string::npos) {
    head += '?';
    if (query + 1 < url.size()) head += kHidden;
  }
  return head;
}

std::string RedactProxySetting(const std::string& setting) {
  // Entries are separated by ';' or blanks; "name=" before an entry's address stays.
  std::string redacted;
  std::size_t begin = 0;
  while (begin < setting.size()) {
    std::size_t end = setting.find_first_of("; \t", begin);
    if (end == std::string::npos) end = setting.size();
    const std::string entry = setting.substr(begin, end - begin);
    const std::size_t equals = entry.find('=');
    const std::size_t address = equals < entry.find_first_of(":/@") ? equals + 1 : 0;
    redacted += entry.substr(0, address) + RedactUrl(entry.substr(address));
    if (end < setting.size()) redacted += setting[end];
    begin = end + 1;
  }
  return redacted;
}

namespace {
// The code point of the UTF-8 sequence at text[at] when it is one that EscapeControlBytes
// writes as an escape, with its length; 0 otherwise.
unsigned InvisibleControlAt(const std::string& text, std::size_t at, std::size_t* length) {
  const auto byte = [&](std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
  };
  const unsigned first = byte(at);
  const unsigned second = byte(at + 1);
  const unsigned third = byte(at + 2);
  *length = first >= 0xE0 ? 3 : 2;
  if (first == 0xC2 && second >= 0x80 && second <= 0x9F) return second;  // C1, NEL
  if (first == 0xD8 && second == 0x9C) return 0x061C;                    // Arabic letter mark
  // U+200E, U+200F, U+2028 to U+202E
  if (first == 0xE2 && second == 0x80 &&
      (third == 0x8E || third == 0x8F || (third >= 0xA8 && third <= 0xAE))) {
    return 0x2000 + (third - 0x80);
  }
  if (first == 0xE2 && second == 0x81 && third >= 0xA6 && third <= 0xA9) {  // U+2066 to U+2069
    return 0x2040 + (third - 0x80);
  }
  return 0;
}
}  // namespace

std::string EscapeControlBytes(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    const auto byte = static_cast<unsigned char>(c);
    std::size_t length = 0;
    if (const unsigned invisible = byte >= 0xC2 ? InvisibleControlAt(text, at, &length) : 0) {
      escaped += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) escaped += kHex[(invisible >> shift) & 0xF];
      at += length - 1;
    } else if (byte >= 0x20 && byte != 0x7F) {
      escaped += c;
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\t') {
      escaped += "\\t";
    } else {
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0xF];
    }
  }
  return escaped;
}

std::string UtcOffsetText(long minutes) {
  const long whole = minutes < 0 ? -minutes : minutes;
  return FormatText("%c%02ld:%02ld", minutes < 0 ? '-' : '+', whole / 60 % 100, whole % 60);
}
