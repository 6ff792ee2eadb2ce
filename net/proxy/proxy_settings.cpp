#include "net/proxy/proxy_settings.h"

#include <vector>

#include "base/ascii.h"
#include "net/socket/socket_address.h"

namespace {
// Pieces of text between separators, empty ones left out.
std::vector<std::string> Split(const std::string& text, bool blanks_separate) {
  std::vector<std::string> pieces;
  std::string piece;
  for (char c : text) {
    if (c == ';' || (blanks_separate && IsAsciiSpace(c))) {
      if (!piece.empty()) pieces.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  return pieces;
}

// Whether text matches pattern, '*' standing for any run, letter case aside. The pattern is
// walked once with the last '*' remembered, so no input takes long.
bool WildcardMatch(const std::string& pattern, const std::string& text) {
  std::size_t p = 0;
  std::size_t t = 0;
  std::size_t star = std::string::npos;
  std::size_t resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && AsciiLower(pattern[p]) == AsciiLower(text[t])) {
      ++p;
      ++t;
    } else if (star != std::string::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}
}  // namespace

std::optional<ProxyAddress> ProxyForScheme(const std::string& proxy_server, bool https,
                                           std::string* unusable) {
  std::string ignored;
  if (unusable == nullptr) unusable = &ignored;
  unusable->clear();
  ProxyAddress address;
  const std::vector<std::string> entries = Split(proxy_server, true);
  if (proxy_server.find('=') == std::string::npos) {
    // One proxy for every scheme; a list without names takes its first entry.
    if (entries.empty()) return std::nullopt;
    if (ParseProxyAddress(entries[0], 80, &address)) return address;
    *unusable = entries[0];
    return std::nullopt;
  }
  const auto named = [](const std::string& entry, const char* name, std::size_t length) {
    return entry.find('=') == length && EqualsIgnoringAsciiCase(entry.data(), name, length);
  };
  for (const std::string& entry : entries) {
    if (!(https ? named(entry, "https", 5) : named(entry, "http", 4))) continue;
    if (ParseProxyAddress(entry.substr(entry.find('=') + 1), 80, &address)) return address;
    *unusable = entry;
    return std::nullopt;
  }
  // Without an entry for the scheme the system's own stacks go through a SOCKS proxy, which
  // this program does not speak.
  for (const std::string& entry : entries) {
    if (named(entry, "socks", 5)) *unusable = entry;
  }
  return std::nullopt;
}

bool InBypassList(const std::string& proxy_override, const std::string& host) {
  if (host.empty()) return false;
  // An IPv6 literal is matched as the URL writes it ("[::1]") and without its brackets.
  const bool ipv6 = host.front() == '[';
  const std::string bare = ipv6 ? host.substr(1, host.size() - 2) : host;
  for (const std::string& pattern : Split(proxy_override, true)) {
    if (pattern.size() == 7 && EqualsIgnoringAsciiCase(pattern.data(), "<local>", 7)) {
      // A name without a dot; an address is no name.
      if (!ipv6 && host.find('.') == std::string::npos) return true;
      continue;
    }
    if (WildcardMatch(pattern, host) || (ipv6 && WildcardMatch(pattern, bare))) return true;
  }
  return false;
}

bool IsLoopbackHost(const std::string& host) {
  std::string name = host;
  if (!name.empty() && name.back() == '.') name.pop_back();
  if (name.size() == 9 && EqualsIgnoringAsciiCase(name.data(), "localhost", 9)) return true;
  const std::string address = AddressBytesOf(name);
  if (address.size() == 4) return address[0] == 127;
  if (address.size() != 16) return false;
  // ::1, or 127.0.0.0/8 written as an IPv4-mapped address (::ffff:127.0.0.1).
  const std::string mapped = std::string(10, '\0') + "\xff\xff";
  return address == std::string(15, '\0') + '\1' ||
         (address.compare(0, 12, mapped) == 0 && address[12] == 127);
}

bool ConnectionSettingsAskDetection(const unsigned char* data, std::size_t size) {
  // A version, a change counter, then the flags; 8 is PROXY_TYPE_AUTO_DETECT.
  constexpr std::size_t kFlagsOffset = 8;
  constexpr unsigned kAutoDetect = 0x08;
  if (data == nullptr || size < kFlagsOffset + 4) return false;
  return (data[kFlagsOffset] & kAutoDetect) != 0;
}
