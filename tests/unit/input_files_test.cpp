#include "tests/support/input_files_at.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/unit/scratch_file.h"

namespace {

using Names = std::vector<std::string>;

struct DownloadListCase {
  const char* name;
  std::string file_bytes;
  std::string title;
  Names names;
  std::vector<int> lines = {};  // each name's line in the file, where the case tells them
};

class ReadDownloadListFileTest : public testing::TestWithParam<DownloadListCase> {};

TEST_P(ReadDownloadListFileTest, SplitsTitleAndNames) {
  const DownloadListCase& c = GetParam();
  ScratchFile file(c.file_bytes);
  const DownloadList list = ReadDownloadListAt(file.path());
  EXPECT_EQ(list.PackageTitle.value_or("(none)"), c.title);
  EXPECT_EQ(list.FileList, c.names);
  EXPECT_EQ(list.FileLines.size(), list.FileList.size());
  if (!c.lines.empty()) {
    EXPECT_EQ(list.FileLines, c.lines);
  }
}

const std::string k259(259, 'n');
const std::string k300(300, 't');

INSTANTIATE_TEST_SUITE_P(
    Files, ReadDownloadListFileTest,
    testing::Values(
        DownloadListCase{"LastLineWithoutLf",
                         "Title\na.bmp\nb.dat\nc.txt",
                         "Title",
                         {"a.bmp", "b.dat", "c.txt"}},
        DownloadListCase{"EmptyLineIsAName", "Title\na\n\nb\n", "Title", {"a", "", "b"}, {2, 3, 4}},
        DownloadListCase{"CrLfSameAsLf", "Title\r\na\r\n\r\nb\r\n", "Title", {"a", "", "b"}},
        DownloadListCase{"SpacesKept", "Title \n a b \n", "Title ", {" a b "}},
        DownloadListCase{
            "LineOf259GivesEmptyEntry", "T\n" + k259 + "\nz\n", "T", {k259, "", "z"}, {2, 2, 3}},
        DownloadListCase{"LongTitleSpills",
                         k300 + "\nx\n",
                         std::string(259, 't'),
                         {std::string(41, 't'), "x"},
                         {1, 2}},
        DownloadListCase{"CrLfSplitByPieceBoundary",
                         "T\n" + std::string(258, 'n') + "\r\nz",
                         "T",
                         {std::string(258, 'n'), "z"}},
        DownloadListCase{"TitleOnly", "Title\n", "Title", {}},
        DownloadListCase{"ByteOrderMarkSkipped", "\xef\xbb\xbfTitle\r\na\r\n", "Title", {"a"}},
        DownloadListCase{"LoneCrStays", "T\na\rb\n", "T", {"a\rb"}},
        DownloadListCase{"EndOfFileMarkEndsTheList", "T\r\na\r\nb\r\n\x1a", "T", {"a", "b"}},
        DownloadListCase{"NothingAfterTheMarkIsRead",
                         "T\na\x1a"
                         "b\nc\n",
                         "T",
                         {"a"}}),
    [](const testing::TestParamInfo<DownloadListCase>& info) { return info.param.name; });

TEST(ReadDownloadListFile, MissingOrEmptyFileGivesNoTitleAndNoName) {
  ScratchFile missing;
  ScratchFile empty("");
  for (const char* path : {missing.path(), empty.path()}) {
    const DownloadList list = ReadDownloadListAt(path);
    EXPECT_FALSE(list.PackageTitle.has_value());
    EXPECT_TRUE(list.FileList.empty());
  }
}

// Notepad's "Unicode" is UTF-16, which is not read as text: the run must say so.
TEST(ReadDownloadListFile, TellsUtf16Text) {
  for (const std::string& mark : {std::string("\xff\xfe"), std::string("\xfe\xff")}) {
    ScratchFile file(mark + std::string("T\0\n\0a\0", 7));
    EXPECT_TRUE(ReadDownloadListAt(file.path()).utf16);
  }
  ScratchFile utf8("\xef\xbb\xbfT\r\na\r\n");
  EXPECT_FALSE(ReadDownloadListAt(utf8.path()).utf16);
}

struct IndexCase {
  const char* name;
  std::string file_bytes;
  std::string package_base_url;
  std::string setup_url;
  std::string digest_word = "";
};

class ReadIndexFileTest : public testing::TestWithParam<IndexCase> {};

TEST_P(ReadIndexFileTest, ReadsTwoWords) {
  const IndexCase& c = GetParam();
  ScratchFile file(c.file_bytes);
  const std::optional<IndexFile> index = ReadIndexFileAt(file.path());
  ASSERT_TRUE(index.has_value());
  EXPECT_EQ(index->PackageBaseUrl, c.package_base_url);
  EXPECT_EQ(index->SetupUrl, c.setup_url);
  EXPECT_EQ(index->setup_digest_word, c.digest_word);
}

const std::string kLongWord(300, 'w');

INSTANTIATE_TEST_SUITE_P(
    Files, ReadIndexFileTest,
    testing::Values(
        IndexCase{"OneWordPerLine", "http://h/p/\nhttp://h/s.exe\n", "http://h/p/",
                  "http://h/s.exe"},
        IndexCase{"BothOnOneLine", "http://h/p/ http://h/s.exe", "http://h/p/", "http://h/s.exe"},
        IndexCase{"LeadingBlankLines", "\n\r\n  \thttp://h/p/\n\n\nhttp://h/s.exe\n", "http://h/p/",
                  "http://h/s.exe"},
        IndexCase{"AllWhiteSpaceKinds", "\v\fa\t\r\nb\f", "a", "b"},
        IndexCase{"ThirdWordIsTheDigest", "a b\r\nsha256:00ff c d", "a", "b", "sha256:00ff"},
        IndexCase{"SingleWordGoesToBoth", "http://h/p/\n", "http://h/p/", "http://h/p/"},
        IndexCase{"Empty", "", "", ""}, IndexCase{"OnlyWhiteSpace", " \n\t ", "", ""},
        IndexCase{"ShorterSecondWord", "abcdef xy", "abcdef", "xy"},
        IndexCase{"LongWordKeepsItsStart", kLongWord + " next", std::string(259, 'w'), "next"},
        IndexCase{"EndOfFileMarkEndsTheWord", "http://h/p/ http://h/s.exe\x1a", "http://h/p/",
                  "http://h/s.exe"},
        IndexCase{"NothingAfterTheMarkIsRead", "a\x1a b", "a", "a"},
        IndexCase{"ByteOrderMarkSkipped", "\xef\xbb\xbfhttps://h/p/ x", "https://h/p/", "x"}),
    [](const testing::TestParamInfo<IndexCase>& info) { return info.param.name; });

TEST(ReadIndexFile, UnopenableFileGivesNothing) {
  ScratchFile missing;
  EXPECT_FALSE(ReadIndexFileAt(missing.path()).has_value());
}

}  // namespace
