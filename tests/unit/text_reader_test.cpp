#include "base/text_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf8.h"
#include "tests/unit/scratch_file.h"

namespace {

struct DecodeCase {
  const char* name;
  std::string file_bytes;
  TextDecoding decoding;
  std::size_t capacity;
  bool words;                         // ReadWord, else ReadPiece
  std::vector<std::string> expected;  // every piece or word, in order
};

class TextFileReaderDecoding : public testing::TestWithParam<DecodeCase> {};

TEST_P(TextFileReaderDecoding, GivesTheProgramsText) {
  const DecodeCase& c = GetParam();
  ScratchFile file(c.file_bytes);
  TextFileReader reader(file.path(), c.decoding);
  reader.SkipByteOrderMark();
  std::vector<std::string> got;
  std::vector<char> buffer(c.capacity);
  while (c.words ? reader.ReadWord(buffer.data(), c.capacity)
                 : reader.ReadPiece(buffer.data(), c.capacity)) {
    got.emplace_back(buffer.data());
    if (reader.GivesUtf8()) {
      EXPECT_TRUE(IsUtf8(got.back().data(), got.back().size())) << got.back();
    }
  }
  EXPECT_EQ(got, c.expected);
}

const TextDecoding k1252 = TextDecoding::Utf8From(1252);
const TextDecoding kStored = TextDecoding::AsStored();

INSTANTIATE_TEST_SUITE_P(
    Files, TextFileReaderDecoding,
    testing::Values(
        DecodeCase{"Utf8KeptAsItIs",
                   "\xc5\xa0koda\nCaf\xc3\xa9",
                   k1252,
                   260,
                   false,
                   {"\xc5\xa0koda\n", "Caf\xc3\xa9"}},
        DecodeCase{
            "Utf8AfterMark", "\xef\xbb\xbf\xc5\xa0koda", k1252, 260, false, {"\xc5\xa0koda"}},
        DecodeCase{"LegacyConverted",
                   "Caf\xe9 \x80\x85\x9f",
                   k1252,
                   260,
                   false,
                   {"Caf\xc3\xa9 \xe2\x82\xac\xe2\x80\xa6\xc5\xb8"}},
        // One byte that is no UTF-8 anywhere makes the whole file an older one.
        DecodeCase{"WholeFileDecides",
                   "Caf\xc3\xa9\nna\xefve\n",
                   k1252,
                   260,
                   false,
                   {"Caf\xc3\x83\xc2\xa9\n", "na\xc3\xafve\n"}},
        DecodeCase{"NothingAfterTheEndMarkCounts",
                   "Caf\xc3\xa9\x1a\xff",
                   k1252,
                   260,
                   false,
                   {"Caf\xc3\xa9"}},
        DecodeCase{
            "StoredBytesPass", "Caf\xe9\n\xc5\xa0", kStored, 260, false, {"Caf\xe9\n", "\xc5\xa0"}},
        // Pieces and words end between characters: the one that does not fit begins the next
        // piece, and ends a word.
        DecodeCase{"PieceEndsBeforeACharacter",
                   "ab\xc3\xa9\xc3\xa9",
                   k1252,
                   6,
                   false,
                   {"ab\xc3\xa9", "\xc3\xa9"}},
        DecodeCase{"ConvertedPieceEndsBeforeACharacter",
                   "\xe9\xe9\xe9",
                   k1252,
                   6,
                   false,
                   {"\xc3\xa9\xc3\xa9", "\xc3\xa9"}},
        DecodeCase{
            "StoredPieceCountsBytes", "\xe9\xe9\xe9", kStored, 3, false, {"\xe9\xe9", "\xe9"}},
        DecodeCase{"LongWordKeepsWholeCharacters",
                   "ab\xe2\x82\xac"
                   "cd x\r\n\xc3\xa9",
                   k1252,
                   5,
                   true,
                   {"ab", "x", "\xc3\xa9"}}
#ifdef _WIN32
        ,
        // Shift JIS: two bytes a character, the second of which may be the byte of '\'.
        DecodeCase{"DoubleByteCodePage",
                   "\x93\xfa\x96\x7b \x95\x5c\n",
                   TextDecoding::Utf8From(932),
                   260,
                   true,
                   {"\xe6\x97\xa5\xe6\x9c\xac", "\xe8\xa1\xa8"}}
#endif
        ),
    [](const testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

TEST(Utf8, WellFormedOnly) {
  const struct {
    std::string text;
    bool valid;
  } cases[] = {
      {"", true},
      {"ascii", true},
      {"\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", true},
      {"\xc1\xbf", false},          // overlong
      {"\xe0\x9f\xbf", false},      // overlong
      {"\xf0\x8f\xbf\xbf", false},  // overlong
      {"\xed\xa0\x80", false},      // surrogate
      {"\xed\x9f\xbf", true},       // just below them
      {"\xf4\x90\x80\x80", false},  // past U+10FFFF
      {"\xe2\x82", false},          // cut short
      {"\xe2\x82x", false},         // broken off
      {"\xbf", false},              // no lead
      {"\xfe\xff", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsUtf8(c.text.data(), c.text.size()), c.valid) << c.text;
}

TEST(Utf8, EscapesWhatIsNoCharacter) {
  EXPECT_EQ(EscapeInvalidUtf8("Caf\xc3\xa9 caf\xe9 \xe2\x82 \xf0\x9f\x98\x80\xc3"),
            "Caf\xc3\xa9 caf\\xe9 \\xe2\\x82 \xf0\x9f\x98\x80\\xc3");
}

}  // namespace
