#include "app/inputs/setup_digest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kHex = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1eff";

TEST(ParseDigestWord, AcceptsOnlyThePrefixAndSixtyFourHexDigits) {
  const struct {
    std::string word;
    bool valid;
  } cases[] = {
      {"", false},
      {"sha256:" + kHex, true},
      {"sha256:000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1EFF", true},
      {"sha256:" + kHex.substr(1), false},
      {"sha256:" + kHex + "0", false},
      {"sha256:" + kHex.substr(0, 63) + "g", false},
      {"sha256:" + kHex.substr(0, 62) + " f", false},
      {"SHA256:" + kHex, false},
      {"sha1:" + kHex, false},
      {kHex, false},
  };
  for (const auto& c : cases) {
    Sha256Digest digest{};
    EXPECT_EQ(ParseDigestWord(c.word, &digest), c.valid) << c.word;
    if (c.valid) {
      EXPECT_EQ(DigestText(digest), kHex) << c.word;
    }
  }
}

}  // namespace
