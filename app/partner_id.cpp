#include "app/partner_id.h"

#include <cstring>

#include "app/shared_state.h"
#include "app/text_reader.h"

bool IsUsablePartnerId(const char* id) {
  if (id[0] == '\0' || std::strcmp(id, ".") == 0 || std::strcmp(id, "..") == 0) return false;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(id); *c != 0; ++c) {
    if (*c < 0x20 || *c == 0x7f || std::strchr("\\/:<>\"|?*", *c) != nullptr) return false;
  }
  return true;
}

bool ReadPartnerIdFile(const char* path) {
  TextFileReader reader(path);
  if (!reader.IsOpen()) return false;
  std::memset(PartnerId, 0, sizeof PartnerId);
  reader.ReadPiece(PartnerId, sizeof PartnerId);
  CutAtLineFeed(PartnerId);
  // The identifier names a folder that is later emptied and removed, so anything that could
  // place that folder elsewhere is refused like a missing file.
  if (!IsUsablePartnerId(PartnerId)) {
    std::memset(PartnerId, 0, sizeof PartnerId);
    return false;
  }
  return true;
}
