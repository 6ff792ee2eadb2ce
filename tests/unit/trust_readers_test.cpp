#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/trust/der_signature.h"
#include "app/trust/partner_key.h"
#include "app/trust/program_image.h"
#include "app/trust/sha256_sums.h"

namespace {

const std::string kHex = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1eff";

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

std::string Bytes(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

const std::string kMark = "MARK-OF-THE-TEST";

// A key block: its mark, format, count and slots as given.
std::string Block(int count, int filled_slots, char format = 1) {
  std::string block = kMark + format + static_cast<char>(count) + std::string(2, '\0');
  for (std::size_t slot = 0; slot < kKeyBlockSlots; ++slot) {
    block += std::string(kKeyPointSize, static_cast<int>(slot) < filled_slots
                                            ? static_cast<char>(0x11 * (slot + 1))
                                            : '\0');
  }
  return block;
}

TEST(ReadKeyBlock, TakesOnlyWellFormedBlocks) {
  std::string reserved = Block(1, 1);
  reserved[kKeyBlockMarkSize + 3] = 1;
  const struct {
    const char* what;
    std::string block;
    int keys;  // -1: refused
  } cases[] = {
      {"as built", Block(0, 0), 0},
      {"one key", Block(1, 1), 1},
      {"every slot, for a rotation", Block(4, 4), 4},
      {"a count beyond the slots", Block(5, 4), -1},
      {"a zero point among the keys", Block(2, 1), -1},
      {"a point after the last key", Block(1, 2), -1},
      {"another format", Block(1, 1, 2), -1},
      {"reserved bytes set", reserved, -1},
      {"another mark", "X" + Block(1, 1).substr(1), -1},
      {"a byte short", Block(1, 1).substr(1), -1},
  };
  for (const auto& c : cases) {
    const auto keys = ReadKeyBlock(c.block, kMark);
    EXPECT_EQ(keys ? static_cast<int>(keys->size()) : -1, c.keys) << c.what;
    for (std::size_t i = 0; keys && i < keys->size(); ++i) {
      EXPECT_EQ((*keys)[i].point[63], 0x11 * (i + 1)) << c.what;
    }
  }
}

// The first bytes of a PE file: the DOS header's pointer, the COFF header, an optional header
// of the given kind with 16 data directories, and the sections (address, virtual size, raw
// size, raw offset).
struct Section {
  std::uint32_t address, virtual_size, raw_size, raw_at;
};
std::string Headers(bool plus, std::uint32_t certificate_size,
                    const std::vector<Section>& sections) {
  std::string bytes(0x40, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  auto put = [&bytes](std::size_t at, std::uint32_t value, int size) {
    if (bytes.size() < at + size) bytes.resize(at + size);
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  };
  put(0x3c, 0x40, 4);
  bytes += std::string("PE\0\0", 4);
  const std::uint32_t optional_size = plus ? 240 : 224;
  put(0x46, static_cast<std::uint32_t>(sections.size()), 2);
  put(0x54, optional_size, 2);
  put(0x58, plus ? 0x20b : 0x10b, 2);
  const std::size_t directories = 0x58 + (plus ? 108 : 92);
  put(directories, 16, 4);
  put(directories + 4 + 8 * 4 + 4, certificate_size, 4);
  std::size_t at = 0x58 + optional_size;
  for (const Section& section : sections) {
    put(at + 8, section.virtual_size, 4);
    put(at + 12, section.address, 4);
    put(at + 16, section.raw_size, 4);
    put(at + 20, section.raw_at, 4);
    bytes.resize(at + 40);
    at += 40;
  }
  return bytes;
}

TEST(FindInImage, MapsAnImageOffsetToTheFileThroughItsSections) {
  const std::vector<Section> sections = {{0x1000, 0x3000, 0x3000, 0x400},
                                         {0x4000, 0x280, 0x400, 0x3400},
                                         {0x5000, 0x800, 0, 0}};  // zeros, nothing stored
  const struct {
    const char* what;
    std::string headers;
    std::uint32_t rva, length;
    std::int64_t offset;  // -1: none
    bool signed_file;
  } cases[] = {
      {"in the first section", Headers(false, 0, sections), 0x1010, 276, 0x410, false},
      {"PE32+, signed", Headers(true, 0x1200, sections), 0x4100, 276, 0x3500, true},
      {"ends at the section's end", Headers(false, 0, sections), 0x4280 - 276, 276, 0x3680 - 276,
       false},
      {"past the stored bytes", Headers(false, 0, sections), 0x4200, 276, -1, false},
      {"in a section with nothing stored", Headers(false, 0, sections), 0x5000, 16, -1, false},
      {"before every section", Headers(false, 0, sections), 0x10, 16, -1, false},
      {"headers cut short", Headers(false, 0, sections).substr(0, 0x100), 0x1010, 16, -1, false},
      {"no MZ", "ZM" + Headers(false, 0, sections).substr(2), 0x1010, 16, -1, false},
  };
  for (const auto& c : cases) {
    const std::optional<ImagePlace> place = FindInImage(c.headers, c.rva, c.length);
    EXPECT_EQ(place ? static_cast<std::int64_t>(place->file_offset) : -1, c.offset) << c.what;
    if (place) {
      EXPECT_EQ(place->carries_certificate_table, c.signed_file) << c.what;
    }
  }
}

TEST(SignatureFromDer, TakesOnlyStrictDer) {
  const std::string r = "56395055603f9a2849ab0afe347c07fed518b1849bed29da471ac61fa9567937";
  const std::string s = "5e36561ea9ef8140317ea3a1d91134c2ab1a8516161a837b9fd8b997179a29b9";
  const std::string high_r = "ff" + r.substr(2);
  const struct {
    const char* what;
    std::string der_hex;
    std::string expected;  // r||s in hex; empty: refused
  } cases[] = {
      {"openssl's", "30440220" + r + "0220" + s, r + s},
      {"r with its sign byte", "30450221" + ("00" + high_r) + "0220" + s, high_r + s},
      {"short r", "30250201050220" + s, std::string(62, '0') + "05" + s},
      {"needless zero", "30450221" + ("00" + r) + "0220" + s, ""},
      {"negative r", "30440220" + high_r + "0220" + s, ""},
      {"zero s", "30250220" + r + "020100", ""},
      {"r of 33 bytes", "30450221" + ("01" + r) + "0220" + s, ""},
      {"byte after", "30440220" + r + "0220" + s + "00", ""},
      {"sequence length wrong", "30450220" + r + "0220" + s, ""},
      {"long-form length", "3081440220" + r + "0220" + s, ""},
      {"one integer", "30220220" + r, ""},
      {"empty", "", ""},
  };
  for (const auto& c : cases) {
    const std::optional<EcdsaSignature> signature = SignatureFromDer(Bytes(c.der_hex));
    EXPECT_EQ(signature.has_value(), !c.expected.empty()) << c.what;
    if (signature) {
      EXPECT_EQ(Hex(signature->data(), signature->size()), c.expected) << c.what;
    }
  }
}

TEST(ReadSha256Sums, ReadsSha256sumLinesAndFindsNamesExactly) {
  const std::string other(64, 'a');
  const std::string text = kHex + "  Skin.dat\n" +                    // text mode
                           kHex.substr(0, 62) + "EE *skin.bmp\r\n" +  // binary mode, CR LF
                           kHex + "  two words.txt\n" + "\n" +        // empty: ignored
                           kHex + " Skin.dat\n" +                     // one space only
                           "\\" + kHex + "  back\\\\slash\n" +        // escaped name
                           other + "  twice\n" + other + "  twice\n" + other + "  differs\n" +
                           kHex + "  differs\n" + kHex + "  last";  // no line end
  const Sha256Sums sums = ReadSha256Sums(text);
  EXPECT_EQ(sums.malformed_lines, 2);
  const struct {
    const char* name;
    std::string digest;  // empty: none
  } cases[] = {
      {"Skin.dat", kHex},
      {"skin.bmp", kHex.substr(0, 62) + "ee"},
      {"two words.txt", kHex},
      {"twice", other},
      {"differs", ""},
      {"last", kHex},
      {"SKIN.DAT", ""},
      {"skin.bmp\r", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    const std::optional<Sha256Digest> digest = SumFor(sums, c.name);
    EXPECT_EQ(digest ? DigestText(*digest) : "", c.digest) << c.name;
  }
}

}  // namespace
