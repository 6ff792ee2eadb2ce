// One transfer's state, apart from its connection and from whatever stores its body: what was
// asked for, what the reply said of itself, how much of it came, and the version of the file it
// fetches, so that a later request can ask for the rest of that same version.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "net/http/content_range.h"
#include "net/http/url.h"
#include "net/socket/transfer_limits.h"

// The version of a file that a reply began: what a request for the rest of it must name.
struct FileVersion {
  std::optional<std::uint32_t> total;  // the reply's Content-Length; none without one
  StrongValidator validator;           // what If-Range names; empty without a strong one
};

struct TransferState {
  explicit TransferState(const char* url_text) : url(url_text) {}

  Url url;  // parsed at construction, and again for each URL a redirect leads to
  bool HeadOnly = false;
  // Set: the request asks for the rest of the file from this point (Range and If-Range).
  std::optional<ResumePoint> resume;

  // Of the reply, reset by each start.
  bool HeadersDone = false;
  std::optional<std::uint32_t> content_length;  // a 200's or accepted 206's Content-Length
  bool continues_file = false;                  // an accepted 206: the rest of the file asked for
  bool range_refused = false;                   // a 206 that is not the rest asked for
  std::uint32_t BytesReceived = 0;              // body bytes handed on to the hook and taken
  Stall stall = Stall::None;                    // why a Stalled transfer gave up on its server

  // What the reply that began the file's version said of it; kept from try to try.
  FileVersion version;
};
