#include "app/inputs/partner_id.h"

#include "base/path_limits.h"
#include "base/plain_names.h"

std::string ReadPartnerId(TextFileReader& reader) {
  if (!reader.IsOpen()) return std::string();
  reader.SkipByteOrderMark();
  char line[kPathBufferSize] = {};
  reader.ReadPiece(line, sizeof line);
  CutAtLineFeed(line);
  // The identifier names a folder that is later emptied and removed, so anything that could
  // place that folder elsewhere is refused like a missing file. A trailing dot or space would be
  // dropped by Windows, so "acme." would name the folder of the partner "acme".
  if (!IsPlainName(line, reader.GivesUtf8())) return std::string();
  return line;
}
