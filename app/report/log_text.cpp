#include "app/report/log_text.h"

#include <algorithm>

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

std::string EscapeControlBytes(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
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
