#include "app/inputs/partner_id.h"

#include <string>

#include "base/path_limits.h"
#include "base/plain_names.h"
#include "base/text_format.h"

std::optional<PartnerId> PartnerId::From(const std::string& text, bool utf8, std::string* why) {
  // Anything that could place the folder elsewhere is refused like a missing file. A trailing
  // dot or space would be dropped by Windows, so "acme." would name the folder of "acme".
  const char* problem = text.size() >= kPathBufferSize ? "it is longer than 259 bytes"
                                                       : PlainNameProblem(text.c_str(), utf8);
  if (problem == nullptr) return PartnerId(text);
  if (why != nullptr) *why = problem;
  return std::nullopt;
}

std::optional<PartnerId> ReadPartnerId(TextFileReader& reader, std::string* why) {
  if (!reader.IsOpen()) return std::nullopt;
  reader.SkipByteOrderMark();
  char line[kPathBufferSize] = {};
  reader.ReadPiece(line, sizeof line);
  CutAtLineFeed(line);
  std::optional<PartnerId> id = PartnerId::From(line, reader.GivesUtf8(), why);
  if (!id && why != nullptr) {
    *why = line[0] == '\0'
               ? std::string("its first line is empty")
               : FormatText("its first line \"%s\" is no folder name: %s", line, why->c_str());
  }
  return id;
}
