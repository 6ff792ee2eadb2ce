#include "app/inputs/input_files.h"

#include <cstring>

#include "base/path_limits.h"

DownloadList ReadDownloadListFile(const char* path, const TextDecoding& decoding) {
  TextFileReader reader(path, decoding);
  return ReadDownloadListFrom(reader);
}

DownloadList ReadDownloadListFrom(TextFileReader& reader) {
  DownloadList list;
  if (!reader.IsOpen()) return list;
  reader.SkipByteOrderMark();

  char piece[kPathBufferSize];
  if (reader.ReadPiece(piece, sizeof piece)) {
    CutAtLineFeed(piece);
    list.PackageTitle = piece;
  }
  // Every further piece is one name, empty ones included; a line longer than a piece gives
  // several names.
  std::memset(piece, 0, sizeof piece);
  while (reader.ReadPiece(piece, sizeof piece)) {
    CutAtLineFeed(piece);
    list.FileList.emplace_back(piece);
  }
  return list;
}

std::optional<IndexFile> ReadIndexFile(const char* path, const TextDecoding& decoding) {
  TextFileReader reader(path, decoding);
  return ReadIndexFrom(reader);
}

std::optional<IndexFile> ReadIndexFrom(TextFileReader& reader) {
  if (!reader.IsOpen()) return std::nullopt;
  // A mark before "https://" would otherwise become part of the scheme.
  reader.SkipByteOrderMark();
  IndexFile index;
  // One buffer for both words: a missing second word leaves the first in it, so a one-word
  // file gives the same text to both.
  char word[kPathBufferSize] = {};
  reader.ReadWord(word, sizeof word);
  index.PackageBaseUrl = word;
  reader.ReadWord(word, sizeof word);
  index.SetupUrl = word;
  char digest[kPathBufferSize] = {};
  reader.ReadWord(digest, sizeof digest);
  index.SetupDigestWord = digest;
  return index;
}
