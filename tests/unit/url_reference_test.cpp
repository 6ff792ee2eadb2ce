#include "net/http/url_reference.h"

#include <gtest/gtest.h>

namespace {

// Every example of RFC 3986, section 5.4, against its base "http://a/b/c/d;p?q".
const struct {
  const char* reference;
  const char* target;
} kExamples[] = {
    // Normal examples.
    {"g:h", "g:h"},
    {"g", "http://a/b/c/g"},
    {"./g", "http://a/b/c/g"},
    {"g/", "http://a/b/c/g/"},
    {"/g", "http://a/g"},
    {"//g", "http://g"},
    {"?y", "http://a/b/c/d;p?y"},
    {"g?y", "http://a/b/c/g?y"},
    {"#s", "http://a/b/c/d;p?q#s"},
    {"g#s", "http://a/b/c/g#s"},
    {"g?y#s", "http://a/b/c/g?y#s"},
    {";x", "http://a/b/c/;x"},
    {"g;x", "http://a/b/c/g;x"},
    {"g;x?y#s", "http://a/b/c/g;x?y#s"},
    {"", "http://a/b/c/d;p?q"},
    {".", "http://a/b/c/"},
    {"./", "http://a/b/c/"},
    {"..", "http://a/b/"},
    {"../", "http://a/b/"},
    {"../g", "http://a/b/g"},
    {"../..", "http://a/"},
    {"../../", "http://a/"},
    {"../../g", "http://a/g"},
    // Abnormal examples.
    {"../../../g", "http://a/g"},
    {"../../../../g", "http://a/g"},
    {"/./g", "http://a/g"},
    {"/../g", "http://a/g"},
    {"g.", "http://a/b/c/g."},
    {".g", "http://a/b/c/.g"},
    {"g..", "http://a/b/c/g.."},
    {"..g", "http://a/b/c/..g"},
    {"./../g", "http://a/b/g"},
    {"./g/.", "http://a/b/c/g/"},
    {"g/./h", "http://a/b/c/g/h"},
    {"g/../h", "http://a/b/c/h"},
    {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
    {"g;x=1/../y", "http://a/b/c/y"},
    {"g?y/./x", "http://a/b/c/g?y/./x"},
    {"g?y/../x", "http://a/b/c/g?y/../x"},
    {"g#s/./x", "http://a/b/c/g#s/./x"},
    {"g#s/../x", "http://a/b/c/g#s/../x"},
    {"http:g", "http:g"},  // a strict parser's answer
};

TEST(UrlReference, ResolvesTheExamplesOfRfc3986) {
  for (const auto& example : kExamples) {
    EXPECT_EQ(ResolveReference("http://a/b/c/d;p?q", example.reference), example.target)
        << example.reference;
  }
}

TEST(UrlReference, AHostWithoutAPathAndAnIpv6Literal) {
  EXPECT_EQ(ResolveReference("https://cdn.test", "o/1"), "https://cdn.test/o/1");
  EXPECT_EQ(ResolveReference("http://[::1]:8080/dl/setup.exe", "v2/setup.exe"),
            "http://[::1]:8080/dl/v2/setup.exe");
  const UriParts parts = SplitUri("http://[::1]:8080/dl?q#f");
  EXPECT_EQ(parts.authority + "|" + parts.path + "|" + parts.query + "|" + parts.fragment,
            "[::1]:8080|/dl|q|f");
  EXPECT_FALSE(SplitUri("http:g").has_authority);
  EXPECT_EQ(SchemeOf("HTTPS://a/b"), "HTTPS");
  EXPECT_EQ(SchemeOf("/a:b"), "");
  EXPECT_EQ(WithoutFragment("http://a/b#c#d"), "http://a/b");
}

}  // namespace
