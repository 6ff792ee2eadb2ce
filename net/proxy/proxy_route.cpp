#include "net/proxy/proxy_route.h"

#include "base/ascii.h"
#include "net/socket/socket_address.h"

namespace {
std::string Trimmed(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsAsciiSpace(text[begin])) ++begin;
  while (end > begin && IsAsciiSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool IsWord(const std::string& text, const char* word) {
  std::size_t length = 0;
  while (word[length] != '\0') ++length;
  return text.size() == length && EqualsIgnoringAsciiCase(text.data(), word, length);
}

// One entry of a script's answer: "PROXY host:port", "DIRECT", or a bare "host:port".
void AddEntry(const std::string& entry, std::vector<ProxyHop>* hops) {
  const std::string text = Trimmed(entry);
  if (text.empty()) return;
  std::size_t blank = 0;
  while (blank < text.size() && !IsAsciiSpace(text[blank])) ++blank;
  const std::string keyword = text.substr(0, blank);
  const std::string rest = Trimmed(text.substr(blank));
  ProxyHop hop;
  if (IsWord(keyword, "DIRECT") && rest.empty()) {
    hops->push_back(hop);
    return;
  }
  std::string address;
  if (IsWord(keyword, "PROXY") || IsWord(keyword, "HTTP")) {
    address = rest;
  } else if (rest.empty() && keyword.find('=') == std::string::npos) {
    address = keyword;  // the system's list form
  } else if (rest.empty() && keyword.size() > 5 &&
             EqualsIgnoringAsciiCase(keyword.data(), "http=", 5)) {
    address = keyword.substr(5);
  } else {
    return;  // SOCKS, HTTPS or something else this program does not speak
  }
  if (!ParseProxyAddress(address, 80, &hop.proxy)) return;
  hop.direct = false;
  hops->push_back(hop);
}
}  // namespace

std::string ProxyAddress::Text() const {
  return host + ":" + std::to_string(port);
}

std::string ProxyRoute::Text() const {
  if (hops.empty()) return "direct";
  std::string text;
  for (const ProxyHop& hop : hops) {
    if (!text.empty()) text += ", then ";
    text += hop.direct ? "direct" : hop.proxy.Text();
  }
  return text;
}

const char* RouteSourceName(RouteSource source) {
  switch (source) {
    case RouteSource::None:
      return "none";
    case RouteSource::Settings:
      return "settings";
    case RouteSource::Script:
      return "script";
    case RouteSource::Detection:
      return "detection";
  }
  return "none";
}

bool ParseProxyAddress(const std::string& text, std::uint16_t default_port, ProxyAddress* address) {
  std::string rest = Trimmed(text);
  const std::size_t separator = rest.find("://");
  if (separator != std::string::npos) rest.erase(0, separator + 3);
  const std::size_t slash = rest.find('/');
  if (slash != std::string::npos) rest.erase(slash);
  // An IPv6 literal keeps its brackets ("[::1]:3128"): its colons are no port's.
  std::size_t host_end = rest.find(':');
  if (!rest.empty() && rest[0] == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string::npos || AddressBytesOf(rest.substr(0, close + 1)).size() != 16) {
      return false;
    }
    host_end = close + 1;
    if (host_end < rest.size() && rest[host_end] != ':') return false;
    if (host_end == rest.size()) host_end = std::string::npos;
  }
  std::uint32_t port = default_port;
  if (host_end != std::string::npos) {
    const std::string digits = rest.substr(host_end + 1);
    if (digits.empty() || digits.size() > 5) return false;
    port = 0;
    for (char c : digits) {
      if (!IsAsciiDigit(c)) return false;
      port = port * 10u + static_cast<std::uint32_t>(c - '0');
    }
    rest.erase(host_end);
  }
  if (rest.empty() || port == 0 || port > 65535) return false;
  for (char c : rest) {
    if (IsAsciiSpace(c) || c == ';' || c == '=' || c == '@') return false;
  }
  address->host = rest;
  address->port = static_cast<std::uint16_t>(port);
  return true;
}

std::vector<ProxyHop> ParseProxyList(const std::string& answer) {
  std::vector<ProxyHop> hops;
  std::size_t begin = 0;
  while (begin <= answer.size() && hops.size() < kMaxHops) {
    std::size_t end = answer.find(';', begin);
    if (end == std::string::npos) end = answer.size();
    AddEntry(answer.substr(begin, end - begin), &hops);
    begin = end + 1;
  }
  return hops;
}
