#include "app/report/log_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RedactUrl, HidesTheUserPartAndTheQuery) {
  const struct {
    const char* url;
    const char* logged;
  } cases[] = {
      {"http://h:81/pkg/acme/", "http://h:81/pkg/acme/"},
      {"https://user:pw@h/pkg/", "https://***@h/pkg/"},
      {"http://user@h:81/x", "http://***@h:81/x"},
      {"http://u:p@w@h/x", "http://***@h/x"},  // the last '@' before the path ends it
      {"http:///:pw@h/x", "http:///:***@h/x"},
      {"http://h/a@b/c", "http://h/a@b/c"},  // a '@' in the path is no user part
      {"http://h/dl/setup.exe?token=s3cret&x=1", "http://h/dl/setup.exe?***"},
      {"http://u:p@h/cgi?a=1/b?c", "http://***@h/cgi?***"},
      {"http://h/x?", "http://h/x?"},
      {"http://h?u=http://v:w@z/", "http://h?***"},
      {"user:pw@h/x", "***@h/x"},  // no scheme: the host still starts the text
      {"h/x#top", "h/x#top"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(RedactUrl(c.url), c.logged) << c.url;
}

TEST(EscapeControlBytes, WritesEveryControlByteAsAnEscape) {
  const struct {
    std::string text;
    const char* logged;
  } cases[] = {
      {"plain C:\\a b\\c.txt", "plain C:\\a b\\c.txt"},
      {"two\r\nlines", "two\\r\\nlines"},
      {"tab\there", "tab\\there"},
      {"\x1b[2Jclear", "\\x1b[2Jclear"},
      {std::string("nul\0x", 5), "nul\\x00x"},
      {"\x01\x1f\x7f", "\\x01\\x1f\\x7f"},
      {"caf\xc3\xa9 \xef\xbb\xbf", "caf\xc3\xa9 \xef\xbb\xbf"},  // bytes above 0x7F stay
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeControlBytes(c.text), c.logged) << c.logged;
}

}  // namespace
