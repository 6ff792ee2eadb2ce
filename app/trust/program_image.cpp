#include "app/trust/program_image.h"

namespace {

constexpr std::uint16_t kPe32 = 0x10b;
constexpr std::uint16_t kPe32Plus = 0x20b;
constexpr std::uint32_t kCertificateTableEntry = 4;
constexpr std::uint32_t kSectionHeaderSize = 40;

// Little-endian fields of headers, read only where they lie wholly inside it.
class Fields {
 public:
  explicit Fields(const std::string& bytes) : bytes_(bytes) {}
  bool Has(std::uint64_t at, std::uint64_t size) const { return at + size <= bytes_.size(); }
  std::uint32_t Read(std::uint64_t at, int size) const {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
      value = (value << 8) | static_cast<std::uint8_t>(bytes_[static_cast<std::size_t>(at) + i]);
    }
    return value;
  }

 private:
  const std::string& bytes_;
};

}  // namespace

std::optional<ImagePlace> FindInImage(const std::string& headers, std::uint32_t rva,
                                      std::uint32_t length) {
  const Fields fields(headers);
  if (!fields.Has(0, 64) || headers.compare(0, 2, "MZ") != 0) return std::nullopt;
  const std::uint64_t pe = fields.Read(0x3c, 4);
  if (!fields.Has(pe, 24) || headers.compare(static_cast<std::size_t>(pe), 4, "PE\0\0", 4) != 0) {
    return std::nullopt;
  }
  const std::uint32_t sections = fields.Read(pe + 6, 2);
  const std::uint32_t optional_size = fields.Read(pe + 20, 2);
  const std::uint64_t optional = pe + 24;
  if (!fields.Has(optional, optional_size) || optional_size < 2) return std::nullopt;
  const std::uint32_t magic = fields.Read(optional, 2);
  if (magic != kPe32 && magic != kPe32Plus) return std::nullopt;
  // The data directories follow their count, which stands 92 (PE32) or 108 (PE32+) bytes in.
  const std::uint64_t count_at = optional + (magic == kPe32 ? 92 : 108);
  if (count_at + 4 > optional + optional_size) return std::nullopt;
  const std::uint32_t directories = fields.Read(count_at, 4);
  const std::uint64_t certificate_entry = count_at + 4 + 8 * kCertificateTableEntry;
  ImagePlace place;
  if (directories > kCertificateTableEntry && certificate_entry + 8 <= optional + optional_size) {
    place.carries_certificate_table = fields.Read(certificate_entry + 4, 4) != 0;
  }
  const std::uint64_t table = optional + optional_size;
  if (!fields.Has(table, static_cast<std::uint64_t>(sections) * kSectionHeaderSize)) {
    return std::nullopt;
  }
  for (std::uint32_t i = 0; i < sections; ++i) {
    const std::uint64_t header = table + static_cast<std::uint64_t>(i) * kSectionHeaderSize;
    const std::uint64_t virtual_size = fields.Read(header + 8, 4);
    const std::uint64_t address = fields.Read(header + 12, 4);
    const std::uint64_t raw_size = fields.Read(header + 16, 4);
    const std::uint64_t raw_at = fields.Read(header + 20, 4);
    // Bytes past the data the file stores are zeros in memory, never the file's.
    const std::uint64_t stored =
        virtual_size != 0 && virtual_size < raw_size ? virtual_size : raw_size;
    if (rva >= address && std::uint64_t{rva} + length <= address + stored) {
      const std::uint64_t offset = raw_at + (rva - address);
      if (offset + length > UINT32_MAX) return std::nullopt;
      place.file_offset = static_cast<std::uint32_t>(offset);
      return place;
    }
  }
  return std::nullopt;
}
