#include "net/http/header_map.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {
// The block in a heap buffer of exactly its size, so that any read past its end is caught by
// the address sanitizer.
bool ParseExact(HeaderMap& map, const std::string& text) {
  std::vector<char> block(text.begin(), text.end());
  block.push_back('\0');
  return map.Parse(block.data());
}

struct StatusCase {
  const char* block;
  std::uint32_t version;
  int status;
  const char* reason;
};

const StatusCase kStatusCases[] = {
    {"HTTP/1.0 200 OK", 65536, 200, "OK"},
    {"HTTP/1.1 404 Not Found", 65537, 404, "Not Found"},
    {"HTTP/1.0 200\r\nA: 1", 65536, 200, ""},
    {"HTTP/1.0 200 \r\nA: 1", 65536, 200, ""},
    {"HTTP/1.0 OK", 65536, 0, "OK"},
    {"HTTP/1.0\r\n200 OK", 65536, 0, ""},  // the number is not taken from the next line
    {"HTTP/1.0 302 Found  ", 65536, 302, "Found  "},
    // One character after the major number is skipped whatever it is, here the blank.
    {"HTTP/2 500 Server Error", (2u << 16) | 500u, 0, "Server Error"},
    {"HTTP/65537.65538 200 x", (1u << 16) | 2u, 200, "x"},  // 16-bit fields wrap
    {"HTTP/", 0, 0, ""},
    {"HTTP/1.0 -7 odd", 65536, -7, "odd"},
    {"HTTP/1.0 +201 odd", 65536, 201, "odd"},
    // Too large for 32 bits: saturated, never wrapped into a plausible status.
    {"HTTP/1.0 4294967496 big", 65536, 2147483647, "big"},
    {"HTTP/1.0 -4294967096 big", 65536, -2147483647 - 1, "big"},
};

void PrintTo(const StatusCase& c, std::ostream* os) {
  *os << '"' << c.block << '"';
}

class HeaderMapStatusLine : public ::testing::TestWithParam<StatusCase> {};

TEST_P(HeaderMapStatusLine, ReadsVersionStatusAndReason) {
  const StatusCase& c = GetParam();
  HeaderMap map;
  ParseExact(map, c.block);
  EXPECT_EQ(map.HttpVersion, c.version);
  EXPECT_EQ(map.StatusCode, c.status);
  EXPECT_EQ(map.ReasonPhrase, c.reason);
}

INSTANTIATE_TEST_SUITE_P(Table, HeaderMapStatusLine, ::testing::ValuesIn(kStatusCases));

TEST(HeaderMapParse, NamesCompareWithoutLetterCase) {
  HeaderMap map;
  ParseExact(map, "HTTP/1.0 200 OK\r\nContent-Length: 1234");
  EXPECT_EQ(map.Lookup("Content-Length"), "1234");
  EXPECT_EQ(map.Lookup("content-length"), "1234");
  EXPECT_EQ(map.Lookup("CONTENT-LENGTH"), "1234");
  EXPECT_EQ(map.Lookup("Content-Lengt"), "");
  EXPECT_EQ(map.Lookup("Content-Length2"), "");
}

TEST(HeaderMapParse, RepeatedHeaderKeepsLastValue) {
  HeaderMap map;
  ParseExact(map, "HTTP/1.0 200 OK\r\nX-Tag: one\r\nx-tag: two\r\nOther: 3");
  EXPECT_EQ(map.Lookup("X-TAG"), "two");
  EXPECT_EQ(map.Lookup("other"), "3");
}

TEST(HeaderMapParse, ValuesAreTakenVerbatim) {
  HeaderMap map;
  ParseExact(map,
             "HTTP/1.0 200 OK\r\n"
             "Empty:\r\n"
             "Next: after empty\r\n"
             "Spaced:   a b  \r\n"
             "Colons: a:b:c");
  EXPECT_EQ(map.Lookup("Empty"), "");
  EXPECT_EQ(map.Lookup("Next"), "after empty");
  EXPECT_EQ(map.Lookup("Spaced"), "a b  ");
  EXPECT_EQ(map.Lookup("Colons"), "a:b:c");
}

// An obsolete fold continues the field before it, its line break and the blanks around it one
// space; a blank before a colon makes the block malformed.
TEST(HeaderMapParse, FoldsJoinTheFieldBeforeAndABlankBeforeAColonIsMalformed) {
  const struct {
    const char* lines;
    bool well_formed;
    const char* name;
    const char* value;
  } cases[] = {
      {"X-Note: a\r\n Content-Length: 3", true, "X-Note", "a Content-Length: 3"},
      {"X-Note: a\r\n Content-Length: 3", true, "Content-Length", ""},
      {"X: a  \r\n \t b\r\n\tc\r\nY: 1", true, "X", "a b c"},
      {"X: a  \r\n \t b\r\n\tc\r\nY: 1", true, "Y", "1"},
      {"  Early: fold\r\nY: 1", true, "Early", ""},  // no field to continue
      {"no colon\r\n Z: 2\r\nY: 1", true, "Y", "1"},
      {"Transfer-Encoding : chunked", false, "", ""},
      {"A: 1\r\nB\t: 2", false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines);
    HeaderMap map;
    EXPECT_EQ(ParseExact(map, std::string("HTTP/1.1 200 OK\r\n") + c.lines), c.well_formed);
    if (c.well_formed) {
      EXPECT_EQ(map.Lookup(c.name), c.value);
    }
  }
}

TEST(HeaderMapParse, LinesWithoutColonArePassedOver) {
  const char* blocks[] = {
      "HTTP/1.0 200 OK\r\nno colon here",
      "HTTP/1.0 200 OK\r\nA: 1\r\nno colon\r\nB: 2",
      "HTTP/1.0 200 OK\r\nno colon\r\nC: 3\r\n",
      "HTTP/1.0 200 OK\r\nA: 1\r\nno colon\n: orphan\r\nB: 2",
  };
  for (const char* text : blocks) {
    SCOPED_TRACE(text);
    HeaderMap map;
    ParseExact(map, text);
    EXPECT_EQ(map.StatusCode, 200);
    EXPECT_EQ(map.Lookup("no colon here"), "");
  }
  HeaderMap map;
  ParseExact(map, blocks[1]);
  EXPECT_EQ(map.Lookup("A"), "1");
  EXPECT_EQ(map.Lookup("B"), "2");
  ParseExact(map, blocks[2]);
  EXPECT_EQ(map.Lookup("C"), "3");
  // A colon on the line after a colon-less one is not joined to it.
  ParseExact(map, blocks[3]);
  EXPECT_EQ(map.Lookup("A"), "1");
  EXPECT_EQ(map.Lookup("B"), "2");
  EXPECT_EQ(map.Lookup("no colon"), "");
}

TEST(HeaderMapParse, SecondParseAndClearStartEmpty) {
  HeaderMap map;
  ParseExact(map, "HTTP/1.1 404 Not Found\r\nContent-Length: 10\r\nServer: x");
  ParseExact(map, "HTTP/1.0 200 OK");
  EXPECT_EQ(map.StatusCode, 200);
  EXPECT_EQ(map.Lookup("Content-Length"), "");
  EXPECT_EQ(map.Lookup("Server"), "");
  map.Clear();
  EXPECT_EQ(map.HttpVersion, 0u);
  EXPECT_EQ(map.StatusCode, 0);
  EXPECT_EQ(map.ReasonPhrase, "");
}

TEST(HeaderMapParse, ShortBlocksNeverReadPastTheirEnd) {
  const char* blocks[] = {"",
                          "H",
                          "HTTP",
                          "HTTP/1",
                          "HTTP/1.",
                          "HTTP/1.0 ",
                          "HTTP/1.0 2",
                          "HTTP/1.0 200 OK\r",
                          "HTTP/1.0 200 OK\r\n",
                          "HTTP/1.0 200 OK\r\nA",
                          "HTTP/1.0 200 OK\r\nA:",
                          "HTTP/1.0 200 OK\r\n\r\n\r"};
  for (const char* text : blocks) {
    SCOPED_TRACE(text);
    HeaderMap map;
    ParseExact(map, text);
  }
  HeaderMap map;
  ParseExact(map, "HTTP/1.0 200 OK\r\nA:");
  EXPECT_EQ(map.Lookup("a"), "");
}

TEST(HeaderMapLookup, CopiesAreSafeWhileAnotherThreadParses) {
  HeaderMap map;
  ParseExact(map, "HTTP/1.0 200 OK\r\nContent-Length: 42");
  std::thread parser([&map] {
    for (int i = 0; i < 200; ++i) ParseExact(map, "HTTP/1.0 200 OK\r\nContent-Length: 42");
  });
  for (int i = 0; i < 200; ++i) {
    std::string value = map.Lookup("content-length");
    EXPECT_TRUE(value.empty() || value == "42");
  }
  parser.join();
}
}  // namespace
