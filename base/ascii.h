// ASCII character classes and letter case, independent of the C locale: what the program reads
// from outside (URLs, headers, switches, its text files) is ASCII where it has a meaning.
#pragma once

#include <cstddef>

// Space, tab, line feed, vertical tab, form feed and carriage return, as isspace in the "C"
// locale.
constexpr bool IsAsciiSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool IsAsciiDigit(int c) {
  return c >= '0' && c <= '9';
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
