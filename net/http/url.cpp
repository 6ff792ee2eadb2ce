#include "net/http/url.h"

#include <cstring>

#include "base/ascii.h"

namespace {
// The number at text as atoi reads it (white space, a sign, digits), wrapped to 16 bits; false
// when its digits are worth more than 65535, which would name another port than written.
bool ReadPort(const char* text, std::uint16_t* port) {
  while (IsAsciiSpace(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  std::uint32_t value = 0;
  while (IsAsciiDigit(*text)) {
    value = value * 10u + static_cast<std::uint32_t>(*text++ - '0');
    if (value > 65535u) return false;
  }
  if (negative) value = 0u - value;
  *port = static_cast<std::uint16_t>(value);
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

std::string Url::Absolute() const {
  const bool https = IsHttps();
  std::string text = https ? "https://" : "http://";
  text += Host;
  if (Port != (https ? 443 : 80)) text += ":" + std::to_string(Port);
  return text + Directory + FileName;
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
  port_out_of_range = false;
}

void Url::Parse(const char* text) {
  Reset();
  if (text == nullptr) return;

  const char* cursor = text;
  if (const char* separator = std::strstr(text, "://")) {
    Scheme.assign(text, separator);
    if (IsHttps()) Port = 443;
    cursor = separator;
    while (*cursor == ':' || *cursor == '/') ++cursor;
  }

  // An IPv6 literal runs to its closing bracket, colons and all; without one (before any '/')
  // the '[' is an ordinary character.
  const char* host_end = cursor + std::strcspn(cursor, ":/");
  if (*cursor == '[') {
    const char* close = cursor + 1 + std::strcspn(cursor + 1, "]/");
    if (*close == ']') host_end = close + 1;
  }
  Host.assign(cursor, host_end);
  cursor = host_end;

  if (*cursor == ':') {
    ++cursor;
    port_out_of_range = !ReadPort(cursor, &Port);
    while (IsAsciiDigit(*cursor)) ++cursor;
  }
  if (*cursor == '/') ++cursor;

  const char* last_slash = std::strrchr(cursor, '/');
  if (last_slash != nullptr) {
    Directory.assign(cursor, last_slash + 1);
    if (Directory[0] != '/') Directory.insert(Directory.begin(), '/');
    FileName.assign(last_slash + 1);
  } else {
    FileName.assign(cursor);
  }
}
