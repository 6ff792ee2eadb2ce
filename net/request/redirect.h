// Which redirects a transfer follows, and where to: 301, 302, 303, 307 and 308 with a Location,
// resolved against the URL that was asked for, at most kMostRedirects for one try. Never from
// https to plain http, and only to http and https URLs with a host.
#pragma once

#include <cstddef>
#include <string>

#include "net/http/url.h"
#include "net/request/transfer_result.h"

constexpr int kMostRedirects = 5;
// The longest Location that is followed; a longer one ends the transfer.
constexpr std::size_t kLongestLocation = 2048;

// Whether a reply with this status asks to be asked again elsewhere, and is followed.
bool IsFollowedRedirect(int status);

struct RedirectStep {
  // None: follow to target. Else why not: RedirectMalformed (the Location is empty, too long or
  // holds control bytes), RedirectRefused (from https to http, or not an http or https URL
  // with a host), TooManyRedirects.
  TransferError refusal = TransferError::None;
  std::string target;    // the absolute URL, without fragment; empty for a malformed Location
  const char* why = "";  // for a refusal: what the log says of it
};

// Where a followed redirect with this Location leads from the URL from, after followed
// redirects of the same try.
RedirectStep NextRedirect(const Url& from, const std::string& location, int followed);
