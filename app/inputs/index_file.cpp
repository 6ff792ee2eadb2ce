#include "app/inputs/index_file.h"

#include "base/path_limits.h"

std::optional<IndexFile> ReadIndexFile(TextFileReader& reader) {
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
  index.setup_digest_word = digest;
  return index;
}
