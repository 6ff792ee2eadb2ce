#include "net/http/url.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {
struct UrlCase {
  const char* text;
  const char* scheme;
  const char* host;
  int port;
  const char* directory;
  const char* file_name;
  bool malformed = false;
};

constexpr bool kMalformed = true;

// clang-format off
const UrlCase kCases[] = {
    // The rows of the lenient parse of old, where an RFC 3986 parse reads them alike.
    {"http://10.0.0.1/cb/partner/p1/urls.cb", "http", "10.0.0.1", 80, "/cb/partner/p1/", "urls.cb"},
    {"http://pkgsrv:8080/files/skin.bmp", "http", "pkgsrv", 8080, "/files/", "skin.bmp"},
    {"http://pkgsrv/a/b/c.cb", "http", "pkgsrv", 80, "/a/b/", "c.cb"},
    {"pkgsrv/a/b.txt", "HTTP", "pkgsrv", 80, "/a/", "b.txt"},
    {"pkgsrv:81", "HTTP", "pkgsrv", 81, "/", ""},
    {"http://pkgsrv", "http", "pkgsrv", 80, "/", ""},
    {"http://pkgsrv/", "http", "pkgsrv", 80, "/", ""},
    {"http://pkgsrv/dir/", "http", "pkgsrv", 80, "/dir/", ""},
    {"http://pkgsrv//x", "http", "pkgsrv", 80, "/", "x"},
    {"http://pkgsrv/cgi?a=1/b", "http", "pkgsrv", 80, "/cgi?a=1/", "b"},
    {"HTTP://PkgSrv/Setup.EXE", "HTTP", "PkgSrv", 80, "/", "Setup.EXE"},
    {"ftp://10.0.0.1/f", "ftp", "10.0.0.1", 80, "/", "f"},
    // ...and where it must read them otherwise: an empty host, one slash after the scheme, an
    // empty port (the scheme's own), a port that would wrap.
    {"http:///pkgsrv/x", "http", "", 80, "/pkgsrv/", "x", kMalformed},
    {"http:/pkgsrv/x", "http", "", 80, "/", "", kMalformed},
    {"http://pkgsrv:/x", "http", "pkgsrv", 80, "/", "x"},
    {"http://:8080/x", "http", "", 80, "/", "x", kMalformed},
    {"http://pkgsrv:99999/x", "http", "", 80, "/", "x", kMalformed},
    {"", "HTTP", "", 80, "/", "", kMalformed},
    // '?' and '#' end the host; a port is 1 to 65535 in digits alone; a host holds no blank,
    // control byte or user part.
    {"http://localhost?x", "http", "localhost", 80, "/", "?x"},
    {"http://a?@b/x", "http", "a", 80, "/?@b/", "x"},
    {"http://a#f/x", "http", "a", 80, "/#f/", "x"},
    {"http://a:/x", "http", "a", 80, "/", "x"},
    {"http://a:080/x", "http", "a", 80, "/", "x"},
    {"http://a:65535/x", "http", "a", 65535, "/", "x"},
    {"http://a:65536/x", "http", "", 80, "/", "x", kMalformed},
    {"http://a:4294967377/x", "http", "", 80, "/", "x", kMalformed},  // 2^32 + 81
    {"http://a:0/x", "http", "", 80, "/", "x", kMalformed},
    {"http://a:81x/y", "http", "", 80, "/", "y", kMalformed},
    {"http://a:-65456/y", "http", "", 80, "/", "y", kMalformed},
    {"http://a b/x", "http", "", 80, "/", "x", kMalformed},
    {"http://a\tb/x", "http", "", 80, "/", "x", kMalformed},
    {"http://user:pw@a/x", "http", "", 80, "/", "x", kMalformed},
    {"http:x", "http", "", 80, "/", "", kMalformed},
    {"http://h/x:99999", "http", "h", 80, "/", "x:99999"},
    {"://host/x", "", "host", 80, "/", "x"},
    {"http://host/a b/%41.txt#frag", "http", "host", 80, "/a b/", "%41.txt#frag"},
    // https in any letter case defaults to 443; a port in the text still wins.
    {"https://pkgsrv/a/b.cb", "https", "pkgsrv", 443, "/a/", "b.cb"},
    {"HTTPS://PkgSrv/x", "HTTPS", "PkgSrv", 443, "/", "x"},
    {"hTtPs://pkgsrv:8443/x", "hTtPs", "pkgsrv", 8443, "/", "x"},
    {"https://pkgsrv:/x", "https", "pkgsrv", 443, "/", "x"},
    {"https:/pkgsrv/x", "https", "", 443, "/", "", kMalformed},
    {"httpss://pkgsrv/x", "httpss", "pkgsrv", 80, "/", "x"},
    {"xhttps://pkgsrv/x", "xhttps", "pkgsrv", 80, "/", "x"},
    // An IPv6 literal keeps its brackets, colons and all; only a port may follow it.
    {"http://[::1]:8080/pkg/f.cb", "http", "[::1]", 8080, "/pkg/", "f.cb"},
    {"https://[2001:db8::7]/f", "https", "[2001:db8::7]", 443, "/", "f"},
    {"[fe80::1%25eth0]/x", "HTTP", "[fe80::1%25eth0]", 80, "/", "x"},
    {"http://[::1]x/y", "http", "", 80, "/", "y", kMalformed},
    {"http://[::1/x]", "http", "", 80, "/", "x]", kMalformed},
    {"http://a[::1]:81/x", "http", "", 80, "/", "x", kMalformed},
    // RFC 3986's examples (1.1.2, 3, 6.2.3): the other schemes are refused apart from this.
    {"ftp://ftp.is.co.za/rfc/rfc1808.txt", "ftp", "ftp.is.co.za", 80, "/rfc/", "rfc1808.txt"},
    {"http://www.ietf.org/rfc/rfc2396.txt", "http", "www.ietf.org", 80, "/rfc/", "rfc2396.txt"},
    {"ldap://[2001:db8::7]/c=GB?objectClass?one", "ldap", "[2001:db8::7]", 80, "/",
     "c=GB?objectClass?one"},
    {"mailto:John.Doe@example.com", "HTTP", "", 80, "/", "", kMalformed},
    {"news:comp.infosystems.www.servers.unix", "HTTP", "", 80, "/", "", kMalformed},
    {"tel:+1-816-555-1212", "HTTP", "", 80, "/", "", kMalformed},
    {"telnet://192.0.2.16:80/", "telnet", "192.0.2.16", 80, "/", ""},
    {"urn:example:animal:ferret:nose", "HTTP", "", 80, "/", "", kMalformed},
    {"foo://example.com:8042/over/there?name=ferret#nose", "foo", "example.com", 8042, "/over/",
     "there?name=ferret#nose"},
    {"http://example.com", "http", "example.com", 80, "/", ""},
    {"http://example.com/", "http", "example.com", 80, "/", ""},
    {"http://example.com:/", "http", "example.com", 80, "/", ""},
    {"http://example.com:80/", "http", "example.com", 80, "/", ""},
};
// clang-format on

void PrintTo(const UrlCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class UrlParse : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlParse, SplitsTheText) {
  const UrlCase& c = GetParam();
  Url url(c.text);
  EXPECT_EQ(url.Scheme, c.scheme);
  EXPECT_EQ(url.Host, c.host);
  EXPECT_EQ(url.Port, c.port);
  EXPECT_EQ(url.Directory, c.directory);
  EXPECT_EQ(url.FileName, c.file_name);
  EXPECT_EQ(url.malformed, c.malformed);
  std::string scheme = c.scheme;
  for (char& ch : scheme) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  EXPECT_EQ(url.IsHttps(), scheme == "https");
}

INSTANTIATE_TEST_SUITE_P(Table, UrlParse, ::testing::ValuesIn(kCases));

// The scheme before "://" decides; without one the URL is plain HTTP.
TEST(UrlScheme, OnlyHttpAndHttpsAreSupported) {
  const struct {
    const char* text;
    bool supported;
  } cases[] = {
      {"http://h/x", true},
      {"HtTpS://h/x", true},
      {"h/x", true},
      {"http:/h/x", true},
      {"htps://h/x", false},
      {"ftp://h/x", false},
      {"httpss://h/x", false},
      {"://h/x", false},
      {" https://h/x", false},
      {"\xef\xbb\xbfhttps://h/x", false},
      {"h/a?u=http://b", false},
  };
  for (const auto& c : cases) EXPECT_EQ(Url(c.text).HasSupportedScheme(), c.supported) << c.text;
}

TEST(UrlHostName, DropsTheBracketsOfAnIpv6Literal) {
  EXPECT_EQ(Url("http://[::1]:8/x").HostName(), "::1");
  EXPECT_EQ(Url("http://pkgsrv/x").HostName(), "pkgsrv");
  EXPECT_EQ(Url("http://[/x").HostName(), "");
}

TEST(UrlParseDefaults, NullTextLeavesDefaults) {
  Url url(nullptr);
  EXPECT_EQ(url.Scheme, "HTTP");
  EXPECT_EQ(url.Host, "");
  EXPECT_EQ(url.Port, 80);
  EXPECT_EQ(url.Directory, "/");
  EXPECT_EQ(url.FileName, "");
  EXPECT_TRUE(url.malformed);
}

TEST(UrlParseDefaults, ReparseKeepsNothingOfTheEarlierText) {
  Url url("ftp://pkgsrv:8080/files/skin.bmp");
  url.Parse("other");
  EXPECT_EQ(url.Scheme, "HTTP");
  EXPECT_EQ(url.Host, "other");
  EXPECT_EQ(url.Port, 80);
  EXPECT_EQ(url.Directory, "/");
  EXPECT_EQ(url.FileName, "");
  url.Parse(nullptr);
  EXPECT_EQ(url.Host, "");
  url.Parse("https://pkgsrv/x");
  url.Parse("pkgsrv/x");
  EXPECT_EQ(url.Port, 80);
}
}  // namespace

namespace {

// The request line is ASCII: what may not stand in it is encoded as a browser does, what is
// encoded already stays, and the local file name keeps the text as written.
TEST(UrlRequestTarget, PercentEncodesWhatCannotStandInTheRequestLine) {
  const struct {
    const char* url;
    const char* target;
  } cases[] = {
      {"http://h/pkg/skin.bmp", "/pkg/skin.bmp"},
      {"http://h/pkg/my skin.bmp", "/pkg/my%20skin.bmp"},
      {"http://h/pkg/\xc5\xa0koda.bmp", "/pkg/%C5%A0koda.bmp"},
      {"http://h/p\xe9/x", "/p%E9/x"},  // bytes as they are, whatever their code page
      {"http://h/a%20b%2fc", "/a%20b%2fc"},
      {"http://h/100%", "/100%25"},
      {"http://h/a%zz%2", "/a%25zz%252"},
      {"http://h/a\r\nHost: x\t\x7f", "/a%0D%0AHost:%20x%09%7F"},
      {"http://h/cgi?a=1&b=[2]#f", "/cgi?a=1&b=[2]#f"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Url(c.url).RequestTarget(), c.target) << c.url;
  }
  EXPECT_EQ(Url("http://h/pkg/my skin.bmp").FileName, "my skin.bmp");
}

}  // namespace
