// HTTP dates in their preferred form, "Sun, 06 Nov 1994 08:49:37 GMT" (RFC 9110, 5.6.7): what a
// reply's Date and Last-Modified say, as seconds that can be compared. Text in, number out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The seconds since 1970-01-01 00:00:00 UTC that text names, blanks around it aside; none for
// any other form (the obsolete ones included) or a date that does not exist.
std::optional<std::int64_t> ParseHttpDate(const std::string& text);
