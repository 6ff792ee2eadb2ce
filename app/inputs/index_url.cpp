#include "app/inputs/index_url.h"

std::string BuildIndexUrl(std::string base, const char* partner_id) {
  if (base.empty() || base.back() != '/') base += '/';
  base += partner_id;
  base += "/urls.cb";
  return base;
}
