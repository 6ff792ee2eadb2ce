#include "app/partner_id.h"

#include <cstring>

#include "app/shared_state.h"
#include "base/plain_names.h"
#include "base/text_reader.h"

bool ReadPartnerIdFile(const char* path) {
  TextFileReader reader(path);
  if (!reader.IsOpen()) return false;
  reader.SkipByteOrderMark();
  std::memset(PartnerId, 0, sizeof PartnerId);
  reader.ReadPiece(PartnerId, sizeof PartnerId);
  CutAtLineFeed(PartnerId);
  // The identifier names a folder that is later emptied and removed, so anything that could
  // place that folder elsewhere is refused like a missing file. A trailing dot or space would be
  // dropped by Windows, so "acme." would name the folder of the partner "acme".
  if (!IsPlainName(PartnerId)) {
    std::memset(PartnerId, 0, sizeof PartnerId);
    return false;
  }
  return true;
}
