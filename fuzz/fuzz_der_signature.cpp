// SignatureFromDer on any bytes: what it takes is two nonzero 32-byte halves, and a signature
// it takes is taken again from the same bytes written as DER afresh (one encoding only).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/trust/der_signature.h"

namespace {

std::string IntegerDer(const std::uint8_t* half) {
  std::size_t start = 0;
  while (start < 31 && half[start] == 0) ++start;
  std::string value(reinterpret_cast<const char*>(half + start), 32 - start);
  if (static_cast<unsigned char>(value[0]) & 0x80) value.insert(value.begin(), '\0');
  return std::string("\x02", 1) + static_cast<char>(value.size()) + value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string der(reinterpret_cast<const char*>(data), size);
  const std::optional<EcdsaSignature> signature = SignatureFromDer(der);
  if (!signature) return 0;
  const std::string body = IntegerDer(signature->data()) + IntegerDer(signature->data() + 32);
  const std::string again = std::string("\x30", 1) + static_cast<char>(body.size()) + body;
  if (again != der) std::abort();  // DER has one encoding: anything else was not strict
  return 0;
}
