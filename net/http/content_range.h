// Continuing a file that a transfer was cut short in: which validator a later request may name
// (If-Range), and whether a 206 reply is the rest of that same version of the file. Parts of
// two replies are joined only when both carry the same strong validator (RFC 9110, 15.3.7.3):
// a server that honours Range but ignores If-Range would otherwise add the rest of another
// version. Text in, answer out, apart from any socket.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A Content-Range value "bytes FIRST-LAST/TOTAL".
struct ContentRange {
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  std::uint32_t total = 0;
};

// Decimal numbers below 2^32 with FIRST <= LAST < TOTAL, the unit "bytes" in any letter case,
// blanks around the value; nothing else ("*" for an unknown total, a list of ranges) is one.
std::optional<ContentRange> ParseContentRange(const std::string& value);

// What names one version of a file strongly enough that its bytes from two replies may be
// joined: a strong ETag, or a Last-Modified that the reply's Date shows to be strong.
struct StrongValidator {
  std::string value;     // what If-Range names, blanks around it aside; empty: none
  bool is_date = false;  // the value is the Last-Modified (else the ETag)
};

// A reply's strong validator (RFC 9110, 8.8.2.2 and 13.1.5): its ETag unless weak ("W/"), else
// its Last-Modified when its Date is at least a second later (the file had not changed again
// within the second that Last-Modified names); none otherwise, or when the value holds a
// control byte and so cannot go into a request line.
StrongValidator StrongValidatorOf(const std::string& etag, const std::string& last_modified,
                                  const std::string& date);

// Where a file on disk stands: its first bytes, of the version the validator names.
struct ResumePoint {
  std::uint32_t offset = 0;  // bytes on disk
  std::uint32_t total = 0;   // the whole file's length, as the reply that began it announced
  StrongValidator validator;
};

// Whether a 206 reply continues the file at point: its range starts at the offset and runs to
// the end of a file of the same total length, it announces exactly that rest's length, and it
// carries the point's validator as its own ETag, or Last-Modified for a date.
bool ContinuesFile(const ResumePoint& point, const std::string& content_range,
                   std::optional<std::uint32_t> content_length, const std::string& etag,
                   const std::string& last_modified);
