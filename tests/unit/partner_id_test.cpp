#include "tests/support/input_files_at.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/unit/scratch_file.h"

namespace {

struct PartnerIdCase {
  const char* name;
  std::string file_bytes;
  bool accepted;
  std::string partner_id;  // expected when accepted
};

class ReadPartnerIdFileTest : public testing::TestWithParam<PartnerIdCase> {};

TEST_P(ReadPartnerIdFileTest, ReadsTheFirstLine) {
  const PartnerIdCase& c = GetParam();
  ScratchFile file(c.file_bytes);
  EXPECT_EQ(ReadPartnerIdAt(file.path(), TextDecoding::AsStored()), c.accepted ? c.partner_id : "");
}

const std::string k300(300, 'p');
const std::string kBom = "\xef\xbb\xbf";

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadPartnerIdFileTest,
    testing::Values(PartnerIdCase{"LineWithLf", "acme\nrest\n", true, "acme"},
                    PartnerIdCase{"LineWithCrLf", "acme\r\nrest\r\n", true, "acme"},
                    PartnerIdCase{"NoLineEnd", "acme", true, "acme"},
                    // Windows drops a trailing dot or space: "acme." would be the folder "acme".
                    PartnerIdCase{"TrailingSpace", "acme \n", false, ""},
                    PartnerIdCase{"TrailingDot", "acme.\n", false, ""},
                    PartnerIdCase{"InnerSpaceKept", "big partner\n", true, "big partner"},
                    PartnerIdCase{"LoneCrKeptAsControl", "ac\rme\n", false, ""},
                    PartnerIdCase{"LongLineCut", k300 + "\n", true, std::string(259, 'p')},
                    PartnerIdCase{"EmptyFile", "", false, ""},
                    PartnerIdCase{"EmptyFirstLine", "\nacme\n", false, ""},
                    PartnerIdCase{"EmptyFirstLineCrLf", "\r\nacme\r\n", false, ""},
                    PartnerIdCase{"Backslash", "..\\..\\Windows\n", false, ""},
                    PartnerIdCase{"Slash", "a/b\n", false, ""},
                    PartnerIdCase{"Drive", "C:\n", false, ""},
                    PartnerIdCase{"Dot", ".\n", false, ""},
                    PartnerIdCase{"DotDot", "..\n", false, ""},
                    PartnerIdCase{"Tab", "ac\tme\n", false, ""},
                    PartnerIdCase{"Wildcard", "ac*me\n", false, ""},
                    PartnerIdCase{"Quote", "ac\"me\n", false, ""},
                    PartnerIdCase{"DotsInsideAllowed", "a..b\n", true, "a..b"},
                    PartnerIdCase{"NonAsciiAllowed", "caf\xe9\n", true, "caf\xe9"},
                    PartnerIdCase{"DotsOnly", "...\n", false, ""},
                    PartnerIdCase{"DotsAndSpaces", ".. \n", false, ""},
                    PartnerIdCase{"SpaceOnly", " \n", false, ""},
                    PartnerIdCase{"DeviceName", "CON\n", false, ""},
                    PartnerIdCase{"DeviceWithExtension", "nul.txt\n", false, ""},
                    PartnerIdCase{"EndOfFileMarkEndsTheLine", "acme\x1a\nrest\n", true, "acme"},
                    // Notepad's UTF-8 files begin with a byte-order mark; only a whole one
                    // at the very start is skipped.
                    PartnerIdCase{"ByteOrderMarkSkipped", kBom + "acme\r\n", true, "acme"},
                    PartnerIdCase{"ByteOrderMarkOnly", kBom, false, ""},
                    PartnerIdCase{"PartOfAMarkKept", kBom.substr(0, 2) + "acme\n", true,
                                  kBom.substr(0, 2) + "acme"},
                    PartnerIdCase{"SecondMarkKept", kBom + kBom + "a\n", true, kBom + "a"},
                    PartnerIdCase{"EndOfFileMarkFirst",
                                  "\x1a"
                                  "acme\n",
                                  false, ""}),
    [](const testing::TestParamInfo<PartnerIdCase>& info) { return info.param.name; });

TEST(ReadPartnerIdFileTest, MissingFileIsRefused) {
  ScratchFile file;  // never written
  EXPECT_EQ(ReadPartnerIdAt(file.path()), "");
}

// The log says which rule refused the identifier.
TEST(ReadPartnerIdFile, SaysWhyItIsRefused) {
  const std::pair<std::string, std::string> cases[] = {
      {"\r\nacme\r\n", "its first line is empty"},
      {"acme.\r\n", "its first line \"acme.\" is no folder name: it ends in a dot"},
      {"CON\n",
       "its first line \"CON\" is no folder name: it names a device (CON, PRN, AUX, "
       "NUL, COM1, LPT1, ...)"}};
  for (const auto& [bytes, why] : cases) {
    ScratchFile file(bytes);
    TextFileReader reader(file.path(), TextDecoding::AsStored());
    std::string found;
    EXPECT_FALSE(ReadPartnerId(reader, &found).has_value());
    EXPECT_EQ(found, why);
  }
}

// Where the program's text is UTF-8 the name rule reads the identifier as UTF-8, after an older
// file's conversion.
TEST(ReadPartnerIdFile, InUtf8) {
  const TextDecoding utf8 = TextDecoding::Utf8From(1252);
  ScratchFile legacy("caf\xe9\r\n"), control("a\xc2\x85!\n");
  EXPECT_EQ(ReadPartnerIdAt(legacy.path(), utf8), "caf\xc3\xa9");
  EXPECT_EQ(ReadPartnerIdAt(control.path(), utf8), "");
  EXPECT_EQ(ReadPartnerIdAt(control.path(), TextDecoding::AsStored()), "a\xc2\x85!");
}

}  // namespace
