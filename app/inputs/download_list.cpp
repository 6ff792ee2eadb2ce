#include "app/inputs/download_list.h"

#include <cstring>

#include "base/path_limits.h"

DownloadList ReadDownloadList(TextFileReader& reader) {
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
