// Url::Parse on any text: it must never read past the text, and what it yields must keep the
// shape the request and Host lines rely on; the target it writes there is always a valid one. Then
// the text as a redirect's Location, resolved against the URL parsed: what a redirect leads to is
// an http or https URL whose host the parse reads back, or it is refused.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/http/url.h"
#include "net/http/url_reference.h"
#include "net/request/redirect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // stops at a NUL byte
  Url url(text.c_str());

  if (url.Directory.empty() || url.Directory.front() != '/' || url.Directory.back() != '/') {
    std::abort();
  }
  if (url.FileName.find('/') != std::string::npos) std::abort();
  // Only an IPv6 literal, in its brackets, holds a ':'; no host holds a '/'.
  const bool literal = url.Host.size() >= 2 && url.Host.front() == '[' && url.Host.back() == ']';
  if (url.Host.find('/') != std::string::npos) std::abort();
  if (!literal && url.Host.find(':') != std::string::npos) std::abort();
  if (literal && url.Host.find(']') != url.Host.size() - 1) std::abort();
  if (literal && url.HostName() != url.Host.substr(1, url.Host.size() - 2)) std::abort();
  // A URL that may be fetched has a host fit for the Host line and a real port; one that may
  // not names no host at all.
  if (url.malformed != url.Host.empty() || url.Port == 0) std::abort();
  for (const char c : url.Host) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == '@' || c == '?' || c == '#') {
      std::abort();
    }
  }

  // The request line's target is visible ASCII, and every '%' in it begins an escape.
  const std::string target = url.RequestTarget();
  for (std::size_t i = 0; i < target.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(target[i]);
    if (c <= 0x20 || c >= 0x7F) std::abort();
    if (c == '%' &&
        (i + 2 >= target.size() || !std::isxdigit(static_cast<unsigned char>(target[i + 1])) ||
         !std::isxdigit(static_cast<unsigned char>(target[i + 2])))) {
      std::abort();
    }
  }

  // Parsing again, into a used object, gives the same pieces.
  Url again("ftp://other:1/x/y");
  again.Parse(text.c_str());
  if (again.Scheme != url.Scheme || again.Host != url.Host || again.Port != url.Port ||
      again.Directory != url.Directory || again.FileName != url.FileName ||
      again.malformed != url.malformed) {
    std::abort();
  }

  // The text as a Location: a reference resolved against a URL with a scheme keeps it, or
  // names its own.
  const std::string base = url.Absolute();
  if (SchemeOf(ResolveReference(base, text)).empty()) std::abort();
  const RedirectStep step = NextRedirect(url, text, 0);
  if (step.refusal == TransferError::None) {
    const Url target(step.target.c_str());
    if (!target.HasSupportedScheme() || target.malformed) std::abort();
    if (url.IsHttps() && !target.IsHttps()) std::abort();
    if (step.target.find('#') != std::string::npos) std::abort();
  }
  return 0;
}
