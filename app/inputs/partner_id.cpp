#include "app/inputs/partner_id.h"

#include "base/path_limits.h"
#include "base/plain_names.h"

std::optional<PartnerId> PartnerId::From(const std::string& text, bool utf8) {
  // Anything that could place the folder elsewhere is refused like a missing file. A trailing
  // dot or space would be dropped by Windows, so "acme." would name the folder of "acme".
  if (text.size() >= kPathBufferSize || !IsPlainName(text.c_str(), utf8)) return std::nullopt;
  return PartnerId(text);
}

std::optional<PartnerId> ReadPartnerId(TextFileReader& reader) {
  if (!reader.IsOpen()) return std::nullopt;
  reader.SkipByteOrderMark();
  char line[kPathBufferSize] = {};
  reader.ReadPiece(line, sizeof line);
  CutAtLineFeed(line);
  return PartnerId::From(line, reader.GivesUtf8());
}
