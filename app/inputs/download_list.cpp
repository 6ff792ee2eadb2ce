#include "app/inputs/download_list.h"

#include <cstring>

#include "base/path_limits.h"

DownloadList ReadDownloadList(TextFileReader& reader) {
  DownloadList list;
  if (!reader.IsOpen()) return list;
  list.utf16 = reader.BeginsWithUtf16Mark();
  reader.SkipByteOrderMark();

  char piece[kPathBufferSize];
  int line = 1;
  // Whether the piece ends its line, cut there.
  const auto ends_line = [&piece]() {
    const bool ends = std::strchr(piece, '\n') != nullptr;
    CutAtLineFeed(piece);
    return ends;
  };
  if (reader.ReadPiece(piece, sizeof piece)) {
    line += ends_line() ? 1 : 0;
    list.PackageTitle = piece;
  }
  // Every further piece is one name, empty ones included; a line longer than a piece gives
  // several names.
  std::memset(piece, 0, sizeof piece);
  while (reader.ReadPiece(piece, sizeof piece)) {
    list.FileLines.push_back(line);
    line += ends_line() ? 1 : 0;
    list.FileList.emplace_back(piece);
  }
  return list;
}
