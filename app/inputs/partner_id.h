// The partner identifier: the first line of partner.dat beside the program, checked once.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "base/text_reader.h"

// An identifier that can serve as one folder name: not empty, at most 259 bytes, no path
// separator, device name, wildcard or control character, no trailing dot or space (see
// IsPlainName). The folder it names is later emptied and removed, so only a checked one exists.
class PartnerId {
 public:
  // The identifier text is, when it passes the check; utf8: the text is UTF-8 (else the
  // program's ANSI code page). When it does not, why (if given) says which rule it breaks.
  static std::optional<PartnerId> From(const std::string& text, bool utf8,
                                       std::string* why = nullptr);

  const std::string& Text() const { return text_; }
  const char* c_str() const { return text_.c_str(); }

 private:
  explicit PartnerId(std::string text) : text_(std::move(text)) {}

  std::string text_;
};

// The identifier in reader: its first line. None when the file could not be opened, its first
// line is empty, or the line cannot serve as an identifier; why (if given) then says which.
std::optional<PartnerId> ReadPartnerId(TextFileReader& reader, std::string* why = nullptr);
