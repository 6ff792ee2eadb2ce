// What may vouch for the messenger's setup program besides its own Authenticode signature.
#pragma once

struct SetupVouchers {
  bool digest_matched;    // the index gave a digest word, and the setup has that digest
  bool index_signed;      // the index's signature by a partner key held
  bool index_over_https;  // the index came over https, its server's certificate checked
  bool setup_over_https;  // so did the setup
};

// What vouches, as the log names it: "signed index" (the digest word of a signed index),
// "https (its digest in urls.cb)" or "https (urls.cb and the setup)"; null when nothing does
// and only the setup's Authenticode signature can.
const char* SetupVoucher(const SetupVouchers& vouchers);
