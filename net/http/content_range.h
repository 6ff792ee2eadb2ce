// Continuing a file that a transfer was cut short in: which validator a later request may name
// (If-Range), and whether a 206 reply is the rest of that same file. Text in, answer out, apart
// from any socket.
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

// Where a file on disk stands: its first bytes, of the version the validator names.
struct ResumePoint {
  std::uint32_t offset = 0;  // bytes on disk
  std::uint32_t total = 0;   // the whole file's length, as the reply that began it announced
  std::string etag;          // that reply's ETag; empty when it had none
  std::string validator;     // what If-Range names: the ETag, else Last-Modified
};

// What a request for the rest may name in If-Range: a strong ETag, else Last-Modified; empty
// when the reply had neither (or only a weak ETag), or when the value holds a control byte
// and so cannot go into a request line.
std::string ResumeValidator(const std::string& etag, const std::string& last_modified);

// Whether a 206 reply continues the file at point: its range starts at the offset and runs to
// the end of a file of the same total length, it announces exactly that rest's length, and it
// carries the same ETag when the file's first reply had one.
bool ContinuesFile(const ResumePoint& point, const std::string& content_range,
                   std::optional<std::uint32_t> content_length, const std::string& etag);
