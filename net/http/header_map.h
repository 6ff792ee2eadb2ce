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

  // Told of every header field as Parse reads it, repeats included: the map itself keeps only
  // the last value of a name, but a reader may need to see that two lines disagree.
  class LineObserver {
   public:
    // value..value_end: the field's text after the colon and the blanks that follow it, folded
    // lines joined.
    virtual void OnHeaderLine(const std::string& name, const char* value,
                              const char* value_end) = 0;

   protected:
    ~LineObserver() = default;
  };

  void Clear();
  // block: NUL-terminated text that begins with "HTTP/" and ends where the blank line that
  // closes the header block began. A line that begins with a blank continues the field before
  // it (an obsolete fold: joined with one space), never a field of its own; a line without a
  // colon is passed over. False when the block is malformed: a blank between a field's name
  // and its colon, which other readers along the path may take either way (RFC 9112, 5). The
  // observer, when given, is told of each whole field, outside the lock.
  bool Parse(const char* block, LineObserver* observer = nullptr);
  // A copy of the value stored under name, or "" when absent.
  std::string Lookup(const char* name) const;
  // Whether a line named name was there, with a value or an empty one.
  bool Contains(const char* name) const;
  // Whether two header names are the same name, ASCII letter case aside.
  static bool SameName(const std::string& a, const char* b);

  std::uint32_t HttpVersion = 0;  // major << 16 | minor
  std::int32_t StatusCode = 0;
  std::string ReasonPhrase;

 private:
  struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::map<std::string, std::string, CaseInsensitiveLess> pairs_;
  mutable CriticalSectionLock lock_;
};

// A field value without the spaces and tabs around it; the map keeps a value's trailing ones.
std::string WithoutBlanksAround(const std::string& value);
