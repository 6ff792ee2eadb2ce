// ReadPartnerKeys on any text: every key it gives is a P-256 SubjectPublicKeyInfo whose point it
// copied, and no block is both taken and counted as unusable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/trust/partner_key.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const PartnerKeyFile file = ReadPartnerKeys(text);
  std::size_t begins = 0;
  for (std::size_t at = 0; (at = text.find("-----BEGIN ", at)) != std::string::npos; ++at) ++begins;
  if (file.keys.size() + static_cast<std::size_t>(file.unusable_blocks) > begins) std::abort();
  for (const PartnerPublicKey& key : file.keys) {
    if (key.der.size() != 91 || std::memcmp(key.der.data() + 27, key.point.data(), 64) != 0)
      std::abort();
  }
  std::string bytes;
  if (DecodeBase64(text, &bytes) && bytes.size() * 4 > size * 3) std::abort();
  return 0;
}
