#include "app/trust/setup_vouchers.h"

const char* SetupVoucher(const SetupVouchers& vouchers) {
  if (vouchers.digest_matched && vouchers.index_signed) return "signed index";
  if (vouchers.digest_matched && vouchers.index_over_https) return "https (its digest in urls.cb)";
  if (vouchers.index_over_https && vouchers.setup_over_https) {
    return "https (urls.cb and the setup)";
  }
  return nullptr;
}
