// A URL split into the pieces a transfer needs, by the RFC 3986 split that a redirect's target
// is checked with too (url_reference.h): "?" and "#" end the host, a port is digits alone. It
// changes no letter case and decodes nothing; the pieces hold the text as written (a file name
// stays the name of the local copy, an IPv6 literal keeps its brackets, as the Host line carries
// it), and only the request line is encoded. A text without "://" names no scheme and is plain
// HTTP ("pkgsrv:81/a").
#pragma once

#include <cstdint>
#include <string>

class Url {
 public:
  explicit Url(const char* text = nullptr);

  // Reset, then fill every piece found in text; a null text leaves the defaults, which name no
  // host.
  void Parse(const char* text);
  void Reset();
  // Whether the scheme is "https", in any letter case.
  bool IsHttps() const;
  // Whether the URL may be fetched: its scheme is "http" or "https" in any letter case, or it
  // names none (no "://"), which means plain HTTP. Anything else, an empty scheme or one with
  // invisible bytes before it included, is refused rather than fetched over plain HTTP.
  bool HasSupportedScheme() const;
  // Directory and FileName as the request line carries them: ASCII, every space, control
  // byte, byte outside ASCII and lone '%' percent-encoded, as a browser sends a path; a '%'
  // with two hexadecimal digits stays, being encoded already.
  std::string RequestTarget() const;
  // The host, and its port where that is not the scheme's own ("host:8080", "[::1]:81"): the
  // Host line's value, as a server that builds URLs from it needs it.
  std::string Authority() const;
  // The URL written out whole ("https://host:8443/dir/file"), the port only where it is not the
  // scheme's own: the base a redirect's relative Location is resolved against.
  std::string Absolute() const;
  // Host without the brackets of an IPv6 literal ("::1" for "[::1]"): the name a certificate
  // is checked against.
  std::string HostName() const;

  std::string Scheme;     // "HTTP" unless the text names one before "://"
  std::string Host;       // host name, dotted address or bracketed IPv6 literal; empty if malformed
  std::string Directory;  // request path up to and including its last '/', starts with '/'
  std::string FileName;   // request path after its last '/'
  std::uint16_t Port;     // the text's port, else 443 for "https" (any letter case), else 80
  // The URL cannot be fetched as written: no host or an empty one, a user part, a blank or
  // control byte in the host, a port that is not 1 to 65535 in digits alone, anything between
  // the port and the path, or a scheme without "//" ("http:/pkgsrv/x").
  bool malformed = true;
};

// text with every byte that may not stand in a request line's path (a space, a control byte, a
// byte outside ASCII, a '%' that begins no %XX) written as %XX in capitals.
std::string PercentEncodePath(const std::string& text);
