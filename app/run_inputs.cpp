#include "app/run_inputs.h"

#include <cstring>

#include "app/shared_state.h"
#include "base/text_reader.h"

int ReadDownloadListFile(const char* path) {
  FileList.clear();
  TextFileReader reader(path);
  if (!reader.IsOpen()) return 0;
  reader.SkipByteOrderMark();

  char piece[kPathBufferSize];
  if (reader.ReadPiece(piece, sizeof piece)) {
    CutAtLineFeed(piece);
    std::memcpy(PackageTitle, piece, std::strlen(piece) + 1);
  }
  // Every further piece is one name, empty ones included; a line longer than a piece gives
  // several names.
  std::memset(piece, 0, sizeof piece);
  while (reader.ReadPiece(piece, sizeof piece)) {
    CutAtLineFeed(piece);
    FileList.emplace_back(piece);
  }
  return static_cast<int>(FileList.size());
}

bool ReadIndexFile(const char* path, std::string& url_text) {
  TextFileReader reader(path);
  if (!reader.IsOpen()) return false;
  // One buffer for both words: a missing second word leaves the first in it, so a one-word
  // file gives the same text to both.
  char word[kPathBufferSize] = {};
  reader.ReadWord(word, sizeof word);
  url_text = word;
  reader.ReadWord(word, sizeof word);
  SetupUrl = word;
  char digest[kPathBufferSize] = {};
  reader.ReadWord(digest, sizeof digest);
  SetupDigestWord = digest;
  return true;
}
