#include "base/text_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf8.h"
#include "tests/unit/scratch_file.h"

namespace {

using Texts = std::vector<std::string>;

// Every piece (with words, every word) of a file holding bytes, read into buffers of capacity.
Texts ReadAll(const std::string& bytes, const TextDecoding& decoding, std::size_t capacity,
              bool words = false) {
  ScratchFile file(bytes);
  TextFileReader reader(file.path(), decoding);
  reader.SkipByteOrderMark();
  Texts got;
  std::vector<char> buffer(capacity);
  while (words ? reader.ReadWord(buffer.data(), capacity)
               : reader.ReadPiece(buffer.data(), capacity)) {
    got.emplace_back(buffer.data());
    EXPECT_TRUE(!reader.GivesUtf8() || IsUtf8(got.back().data(), got.back().size())) << bytes;
  }
  return got;
}

// The whole file decides: UTF-8 stays, anything else is converted from the older code page, and
// pieces and words end between characters (one that does not fit begins the next piece).
TEST(TextFileReader, GivesUtf8FromEitherKindOfFile) {
  const TextDecoding utf8 = TextDecoding::Utf8From(1252);
  EXPECT_EQ(ReadAll("\xef\xbb\xbf\xc5\xa0koda\nCaf\xc3\xa9", utf8, 260),
            (Texts{"\xc5\xa0koda\n", "Caf\xc3\xa9"}));
  EXPECT_EQ(ReadAll("Caf\xe9 \x80\x85\x9f", utf8, 260),
            (Texts{"Caf\xc3\xa9 \xe2\x82\xac\xe2\x80\xa6\xc5\xb8"}));
  EXPECT_EQ(ReadAll("Caf\xc3\xa9\nna\xefve", utf8, 260),
            (Texts{"Caf\xc3\x83\xc2\xa9\n", "na\xc3\xafve"}));
  EXPECT_EQ(ReadAll("Caf\xc3\xa9\x1a\xff", utf8, 260), (Texts{"Caf\xc3\xa9"}));
  EXPECT_EQ(ReadAll("Caf\xe9\n\xc5\xa0", TextDecoding::AsStored(), 260),
            (Texts{"Caf\xe9\n", "\xc5\xa0"}));
  EXPECT_EQ(ReadAll("ab\xc3\xa9\xc3\xa9", utf8, 6), (Texts{"ab\xc3\xa9", "\xc3\xa9"}));
  EXPECT_EQ(ReadAll("\xe9\xe9\xe9", utf8, 6), (Texts{"\xc3\xa9\xc3\xa9", "\xc3\xa9"}));
  EXPECT_EQ(ReadAll("ab\xe2\x82\xac!d x\r\n\xc3\xa9", utf8, 5, true),
            (Texts{"ab", "x", "\xc3\xa9"}));
#ifdef _WIN32
  // Shift JIS: two bytes a character, the second of which may be the byte of '\'.
  EXPECT_EQ(ReadAll("\x93\xfa\x96\x7b \x95\x5c\n", TextDecoding::Utf8From(932), 260, true),
            (Texts{"\xe6\x97\xa5\xe6\x9c\xac", "\xe8\xa1\xa8"}));
#endif
}

TEST(Utf8, EscapesWhatIsNoCharacter) {
  EXPECT_EQ(EscapeInvalidUtf8("Caf\xc3\xa9 caf\xe9 \xe2\x82 \xf0\x9f\x98\x80\xc3"),
            "Caf\xc3\xa9 caf\\xe9 \\xe2\\x82 \xf0\x9f\x98\x80\\xc3");
}

}  // namespace
