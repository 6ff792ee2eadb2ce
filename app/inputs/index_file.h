// The downloaded index file urls.cb: where the package files and the setup program lie.
#pragma once

#include <optional>
#include <string>

#include "base/text_reader.h"

// The words of the index file: the package base URL, the setup program's URL and, optionally,
// its digest, each at most 259 characters. A single word serves as both URLs.
struct IndexFile {
  std::string PackageBaseUrl;
  std::string SetupUrl;
  std::string setup_digest_word;  // empty when the file has no third word
};

// The index file in reader; nothing when it could not be opened.
std::optional<IndexFile> ReadIndexFile(TextFileReader& reader);
