// The status line and header pairs of one HTTP response. Names compare without regard to
// ASCII letter case; every access to the pairs holds the map's own lock.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/critical_section_lock.h"

class HeaderMap {
 public:
  HeaderMap();

  void Clear();
  // block: NUL-terminated text that begins with "HTTP/" and ends where the blank line that
  // closes the header block began.
  void Parse(const char* block);
  // A copy of the value stored under name, or "" when absent.
  std::string Lookup(const char* name);

  std::uint32_t HttpVersion = 0;  // major << 16 | minor
  std::int32_t StatusCode = 0;
  std::string ReasonPhrase;

 private:
  struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::map<std::string, std::string, CaseInsensitiveLess> pairs_;
  CriticalSectionLock lock_;
};
