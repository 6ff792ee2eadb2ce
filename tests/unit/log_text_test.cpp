#include "app/report/log_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

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
      // Locations: absolute, scheme-relative, relative.
      {"HTTPS://u:p@h:8443/dl/x.exe", "HTTPS://***@h:8443/dl/x.exe"},
      {"//u:p@h/x", "//***@h/x"},
      {"/dl/x.exe?sig=s3cret", "/dl/x.exe?***"},
      {"http://user:p@ss@h", "http://***@h"},
  };
  for (const auto& c : cases) EXPECT_EQ(RedactUrl(c.url), c.logged) << c.url;
}

TEST(RedactProxySetting, HidesEveryEntrysUserPart) {
  const struct {
    const char* setting;
    const char* logged;
  } cases[] = {
      {"proxy:3128", "proxy:3128"},
      {"user:secret@proxy:3128", "***@proxy:3128"},
      {"http=http://user:secret@a:1;https=u2:s2@b:2", "http=http://***@a:1;https=***@b:2"},
      {"socks=u:p@s:1080 http=a:1", "socks=***@s:1080 http=a:1"},
      {"http://a:1/", "http://a:1/"},
      {"=u:p@h;;", "=***@h;;"},
  };
  for (const auto& c : cases) EXPECT_EQ(RedactProxySetting(c.setting), c.logged) << c.setting;
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
      // Line and paragraph separators, NEL and the C1 controls, marks of the writing direction.
      {"a\xe2\x80\xa8" "b\xe2\x80\xa9" "c", "a\\u2028b\\u2029c"},
      {"\xc2\x85\xc2\x80\xc2\x9f", "\\u0085\\u0080\\u009f"},
      {"\xe2\x80\x8e\xe2\x80\x8f\xd8\x9c", "\\u200e\\u200f\\u061c"},
      {"\xe2\x80\xaa" "exe.txt\xe2\x80\xae", "\\u202aexe.txt\\u202e"},
      {"\xe2\x81\xa6x\xe2\x81\xa9", "\\u2066x\\u2069"},
      // Their neighbours are characters like any other, and a sequence cut short stays.
      {"\xc2\xa0\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa",
       "\xc2\xa0\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa"},
      {"\xe2\x80", "\xe2\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeControlBytes(c.text), c.logged) << c.logged;
}

TEST(UtcOffsetText, WritesSignHoursAndMinutes) {
  const std::pair<long, const char*> cases[] = {{0, "+00:00"},   {60, "+01:00"},  {-300, "-05:00"},
                                                {330, "+05:30"}, {-210, "-03:30"}, {765, "+12:45"},
                                                {840, "+14:00"}, {-720, "-12:00"}};
  for (const auto& [minutes, text] : cases) EXPECT_EQ(UtcOffsetText(minutes), text) << minutes;
}

}  // namespace
