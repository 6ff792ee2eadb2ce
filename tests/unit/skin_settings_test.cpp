#include "messenger/skin_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>

namespace {

struct SkinCase {
  const char* name;
  std::string text;
  std::int32_t anchore, stretch, background, selection;
};

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

std::string LongToken(std::size_t length, const std::string& tail) {
  return std::string(length, 'x') + tail;
}

class SkinSettingsRead : public testing::TestWithParam<SkinCase> {};

TEST_P(SkinSettingsRead, TakesTokensByPosition) {
  const SkinCase& c = GetParam();
  // Whole, and fed in pieces of every size up to 7: a token may straddle two pieces.
  for (std::size_t piece = 0; piece <= 7; ++piece) {
    SCOPED_TRACE(piece);
    SkinSettings settings;
    if (piece == 0) {
      settings = ReadSkinSettings(c.text.data(), c.text.size());
    } else {
      SkinSettingsParser parser;
      for (std::size_t at = 0; at < c.text.size(); at += piece) {
        parser.Feed(c.text.data() + at, std::min(piece, c.text.size() - at));
      }
      settings = parser.Finish();
    }
    EXPECT_EQ(settings.Anchore, c.anchore);
    EXPECT_EQ(settings.Stretch, c.stretch);
    EXPECT_EQ(settings.BackgroundTransparency, c.background);
    EXPECT_EQ(settings.SelectionTransparency, c.selection);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SkinSettingsRead,
    testing::Values(
        SkinCase{"Complete",
                 "Skin\nAnchore=2\nStretch=1\nBackgroundTransparency=30\n"
                 "SelectionTransparency=70\n",
                 2, 1, 30, 70},
        SkinCase{"Empty", "", 0, 15, 0, 50},
        SkinCase{"OnlyWhiteSpace", " \t\r\n\v\f", 0, 15, 0, 50},
        SkinCase{"HeaderOnly", "Skin\n", 0, 15, 0, 50},
        SkinCase{"PositionNotName", "Skin Stretch=3", 3, 15, 0, 50},
        SkinCase{"ThirdTokenWithoutEquals", "Skin Anchore=4 Stretch 5 A=6 B=7", 4, 15, 0, 50},
        SkinCase{"HeaderHoldsEquals", "A=9 B=1", 1, 15, 0, 50},
        SkinCase{"FileEndsEarly", "Skin A=1 B=2", 1, 2, 0, 50},
        SkinCase{"OneLineMixedSpace", "Skin\tA=1 \v B=2\fC=3\r\nD=4", 1, 2, 3, 4},
        SkinCase{"SixthTokenIgnored", "S A=1 B=2 C=3 D=4 E=5", 1, 2, 3, 4},
        SkinCase{"TrailingLetters", "S A=12abc B=xyz C=-1 D=+8", 12, 0, -1, 8},
        SkinCase{"SignWithoutDigits", "S A=- B=+ C= D=--3", 0, 0, 0, 0},
        SkinCase{"OnlyFirstEqualsCounts", "S A=1=2 B==5 =7 D=", 1, 0, 7, 0},
        SkinCase{"Limits", "S A=2147483647 B=-2147483648 C=2147483648 D=-99999999999999999999",
                 kMax, kMin, kMax, kMin},
        SkinCase{"LeadingZeros", "S A=0000000000000000000042 B=007", 42, 7, 0, 50},
        SkinCase{"LongTokens",
                 LongToken(300, "") + " " + LongToken(150, "=5") + " B=" + std::string(200, '9') +
                     " " + LongToken(99, "") + " D=1",
                 5, kMax, 0, 50},
        SkinCase{"LongValueTail", "S A=7" + std::string(500, 'z') + " B=2", 7, 2, 0, 50},
        SkinCase{"NulInsideToken", std::string("S A=3\0 B=4", 10), 3, 4, 0, 50}),
    [](const testing::TestParamInfo<SkinCase>& info) { return std::string(info.param.name); });

}  // namespace
