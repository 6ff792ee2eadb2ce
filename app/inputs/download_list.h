// The download list: OrvexDownload.dat beside the program, its title and its package file names.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/text_reader.h"

// What OrvexDownload.dat gives: its first line, when it has one, and every further line as a
// package file name, empty ones included (a line longer than 259 characters gives several).
struct DownloadList {
  std::optional<std::string> PackageTitle;  // at most 259 characters; none for an empty file
  std::vector<std::string> FileList;
  std::vector<int> FileLines;  // the line of the file each name comes from, from 1
  // The file is UTF-16 text, which is read as bytes: its names come out empty.
  bool utf16 = false;
};

// The download list in reader; nothing when it could not be opened.
DownloadList ReadDownloadList(TextFileReader& reader);
