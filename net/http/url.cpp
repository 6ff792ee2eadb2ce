#include "net/http/url.h"

#include <cstring>

#include "base/ascii.h"
#include "net/http/url_reference.h"

namespace {
// A port as written: digits alone worth 1 to 65535. Anything else (a sign, a blank, letters
// after the digits, a value that wraps) would name another port than the one meant.
bool ReadPort(const std::string& text, std::uint16_t* port) {
  std::uint32_t value = 0;
  for (const char c : text) {
    if (!IsAsciiDigit(c)) return false;
    value = value * 10u + static_cast<std::uint32_t>(c - '0');
    if (value > 65535u) return false;
  }
  if (value == 0) return false;
  *port = static_cast<std::uint16_t>(value);
  return true;
}

// Whether a host may go to the name lookup and into the Host line as written: not empty, no
// blank, control byte or user part, brackets only around an IPv6 literal.
bool IsWellFormedHost(const std::string& host) {
  if (host.empty()) return false;
  const bool literal = host.front() == '[';
  for (std::size_t i = 0; i < host.size(); ++i) {
    const auto byte = static_cast<unsigned char>(host[i]);
    if (byte <= 0x20 || byte == 0x7F || byte == '@') return false;
    if ((byte == '[' || byte == ']') && !(literal && (i == 0 || i + 1 == host.size()))) {
      return false;
    }
  }
  return true;
}

bool IsHexDigit(char c) {
  return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Whether scheme is name, in any letter case.
template <std::size_t N>
bool SchemeIs(const std::string& scheme, const char (&name)[N]) {
  return scheme.size() == N - 1 && EqualsIgnoringAsciiCase(scheme.data(), name, N - 1);
}
}  // namespace

Url::Url(const char* text) {
  Parse(text);
}

bool Url::IsHttps() const {
  return SchemeIs(Scheme, "https");
}

bool Url::HasSupportedScheme() const {
  return SchemeIs(Scheme, "http") || IsHttps();
}

std::string Url::RequestTarget() const {
  return PercentEncodePath(Directory + FileName);
}

std::string Url::Authority() const {
  std::string authority = Host;
  if (Port != (IsHttps() ? 443 : 80)) authority += ":" + std::to_string(Port);
  return authority;
}

std::string Url::Absolute() const {
  return (IsHttps() ? "https://" : "http://") + Authority() + Directory + FileName;
}

std::string Url::HostName() const {
  if (Host.size() >= 2 && Host.front() == '[' && Host.back() == ']') {
    return Host.substr(1, Host.size() - 2);
  }
  return Host;
}

std::string PercentEncodePath(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool escaped =
        byte == '%' && i + 2 < text.size() && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2]);
    if (byte > 0x20 && byte < 0x7F && (byte != '%' || escaped)) {
      encoded += text[i];
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0xF];
    }
  }
  return encoded;
}

void Url::Reset() {
  Scheme = "HTTP";
  Host.clear();
  Directory = "/";
  FileName.clear();
  Port = 80;
  malformed = true;
}

void Url::Parse(const char* text) {
  Reset();
  if (text == nullptr) return;

  const char* rest = text;  // where the authority begins, after "scheme://"
  bool names_host = true;
  if (const char* separator = std::strstr(text, "://")) {
    Scheme.assign(text, separator);
    rest = separator + 3;
  } else if (const char* colon = std::strchr(text, ':')) {
    // "http:" without "//" names the scheme and no host; any other text names no scheme.
    const std::string named(text, colon);
    names_host = !SchemeIs(named, "http") && !SchemeIs(named, "https");
    if (!names_host) Scheme = named;
  }
  if (IsHttps()) Port = 443;
  if (!names_host) return;
  const std::string authority = SplitUri(std::string("//") + rest).authority;

  // The request path is the text after the authority as written, query and fragment included,
  // with one leading '/' implied.
  const char* cursor = rest + authority.size();
  if (*cursor == '/') ++cursor;
  const char* last_slash = std::strrchr(cursor, '/');
  if (last_slash != nullptr) {
    Directory.assign(cursor, last_slash + 1);
    if (Directory[0] != '/') Directory.insert(Directory.begin(), '/');
    FileName.assign(last_slash + 1);
  } else {
    FileName.assign(cursor);
  }

  // An IPv6 literal runs to its closing bracket, colons and all; a port may follow a ':'.
  std::size_t host_end = authority.find(':');
  if (!authority.empty() && authority[0] == '[') {
    host_end = authority.find(']');
    if (host_end == std::string::npos) return;
    ++host_end;
    if (host_end < authority.size() && authority[host_end] != ':') return;
  }
  std::string host = authority.substr(0, host_end);
  if (!IsWellFormedHost(host)) return;
  // An empty port is the scheme's own.
  if (host_end != std::string::npos && host_end + 1 < authority.size() &&
      !ReadPort(authority.substr(host_end + 1), &Port)) {
    return;
  }
  Host = std::move(host);
  malformed = false;
}
