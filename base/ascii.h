// ASCII character classes and letter case, independent of the C locale: what the program reads
// from outside (URLs, headers, switches, its text files) is ASCII where it has a meaning.
#pragma once

#include <cstddef>
#include <cstdint>

// Space, tab, line feed, vertical tab, form feed and carriage return, as isspace in the "C"
// locale.
constexpr bool IsAsciiSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool IsAsciiDigit(int c) {
  return c >= '0' && c <= '9';
}

// The decimal digits at *cursor, up to end, as a number below 2^32: *value gets it and *cursor
// moves past them. False, with nothing moved, when there is no digit or the number is larger.
inline bool ReadDecimal32(const char** cursor, const char* end, std::uint32_t* value) {
  const char* at = *cursor;
  std::uint64_t number = 0;
  while (at < end && IsAsciiDigit(*at)) {
    number = number * 10 + static_cast<std::uint64_t>(*at++ - '0');
    if (number > 0xFFFFFFFFu) return false;
  }
  if (at == *cursor) return false;
  *cursor = at;
  *value = static_cast<std::uint32_t>(number);
  return true;
}

// The value of a hexadecimal digit in either letter case; -1 for any other character.
constexpr int AsciiHexValue(int c) {
  return IsAsciiDigit(c)        ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}

constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether the length bytes at a and the length bytes at b are the same, ASCII letter case
// aside.
inline bool EqualsIgnoringAsciiCase(const char* a, const char* b, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}
