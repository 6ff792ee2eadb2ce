// The download list beside the program and the downloaded index file.
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
};

// The download list file at path, or in reader; nothing when it cannot be opened.
DownloadList ReadDownloadListFile(const char* path,
                                  const TextDecoding& decoding = TextDecoding::ForProgram());
DownloadList ReadDownloadListFrom(TextFileReader& reader);

// The words of the index file: the package base URL, the setup program's URL and, optionally,
// its digest, each at most 259 characters. A single word serves as both URLs.
struct IndexFile {
  std::string PackageBaseUrl;
  std::string SetupUrl;
  std::string SetupDigestWord;  // empty when the file has no third word
};

// The index file at path, or in reader; nothing when it cannot be opened.
std::optional<IndexFile> ReadIndexFile(const char* path,
                                       const TextDecoding& decoding = TextDecoding::ForProgram());
std::optional<IndexFile> ReadIndexFrom(TextFileReader& reader);
