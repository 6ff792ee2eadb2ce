// FindInImage and ReadKeyBlock on any bytes: the first 8 give an image offset and a length, the
// rest are a program file's first bytes, whose key block is read where FindInImage places it.
// A place always lies within 4 GiB, and every key taken is a point that is not zero.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/trust/partner_key.h"
#include "app/trust/program_image.h"

namespace {
std::uint32_t Word(const std::uint8_t* data) {
  return data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  const std::uint32_t rva = Word(data);
  const std::uint32_t length = Word(data + 4);
  const std::string file(reinterpret_cast<const char*>(data) + 8, size - 8);
  const std::optional<ImagePlace> place = FindInImage(file, rva, length);
  if (place && std::uint64_t{place->file_offset} + length > UINT32_MAX) std::abort();
  const std::string block = place && place->file_offset < file.size()
                                ? file.substr(place->file_offset, kKeyBlockSize)
                                : file;
  const auto keys = ReadKeyBlock(block, block.substr(0, kKeyBlockMarkSize));
  if (keys && (block.size() != kKeyBlockSize || keys->size() > kKeyBlockSlots)) std::abort();
  for (const PartnerPublicKey& key : keys ? *keys : std::vector<PartnerPublicKey>()) {
    if (std::all_of(key.point.begin(), key.point.end(), [](std::uint8_t b) { return b == 0; })) {
      std::abort();
    }
  }
  return 0;
}
