#include "net/request/redirect.h"

#include "base/ascii.h"
#include "net/http/header_map.h"
#include "net/http/url_reference.h"

namespace {

bool HasControlBytes(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

bool SchemeIs(const std::string& scheme, const char* name, std::size_t length) {
  return scheme.size() == length && EqualsIgnoringAsciiCase(scheme.data(), name, length);
}

RedirectStep Refused(TransferError refusal, std::string target, const char* why) {
  return RedirectStep{refusal, std::move(target), why};
}

}  // namespace

bool IsFollowedRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

RedirectStep NextRedirect(const Url& from, const std::string& location, int followed) {
  if (followed >= kMostRedirects) {
    return Refused(TransferError::TooManyRedirects, "", "more redirects than 5");
  }
  const std::string reference = WithoutBlanksAround(location);
  if (reference.empty()) return Refused(TransferError::RedirectMalformed, "", "empty Location");
  if (reference.size() > kLongestLocation) {
    return Refused(TransferError::RedirectMalformed, "", "Location longer than 2048 bytes");
  }
  if (HasControlBytes(reference)) {
    return Refused(TransferError::RedirectMalformed, "", "Location with control bytes");
  }

  std::string target = WithoutFragment(ResolveReference(from.Absolute(), reference));
  const std::string scheme = SchemeOf(target);
  const bool https = SchemeIs(scheme, "https", 5);
  // The host and port as the request itself will read them: a user part, an empty host or a
  // port that is not one are refused here rather than fetched somewhere else.
  const Url next(target.c_str());
  if ((!https && !SchemeIs(scheme, "http", 4)) || !next.HasSupportedScheme() || next.malformed) {
    return Refused(TransferError::RedirectRefused, std::move(target),
                   "not an http or https URL with a host");
  }
  // Nothing may go over plain http that was asked for over https.
  if (from.IsHttps() && !https) {
    return Refused(TransferError::RedirectRefused, std::move(target), "from https to http");
  }
  return RedirectStep{TransferError::None, std::move(target), ""};
}
