#include "net/request/redirect.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr TransferError kFollow = TransferError::None;
constexpr TransferError kRefused = TransferError::RedirectRefused;
constexpr TransferError kMalformed = TransferError::RedirectMalformed;

TEST(Redirect, FollowsHttpAndHttpsTargetsAndNeverLeavesHttps) {
  const struct {
    const char* from;
    std::string location;
    TransferError refusal;
    const char* target;
  } cases[] = {
      {"http://a/pkg/f", "https://a/pkg/f", kFollow, "https://a/pkg/f"},
      {"https://a/x", " /y?q#frag ", kFollow, "https://a/y?q"},
      {"http://a:8080/dl/s.exe", "v2/s.exe", kFollow, "http://a:8080/dl/v2/s.exe"},
      {"a/dl/s.exe", "../f", kFollow, "http://a/f"},  // a URL without a scheme is plain http
      {"https://a/x", "//[::1]:81/p", kFollow, "https://[::1]:81/p"},
      {"https://a/x", "HTTPS://b/x", kFollow, "HTTPS://b/x"},
      {"https://a/x", "http://a/x", kRefused, "http://a/x"},
      {"https://a/x", "Http://a/x", kRefused, "Http://a/x"},
      {"http://a/x", "file:///C:/x", kRefused, "file:///C:/x"},
      {"http://a/x", "ftp://a/x", kRefused, "ftp://a/x"},
      {"http://a/x", "http:x", kRefused, "http:x"},
      {"http://a/x", "http:///x", kRefused, "http:///x"},
      {"http://a/x", "http://:81/x", kRefused, "http://:81/x"},
      {"http://a/x", "http://user:pw@b/x", kRefused, "http://user:pw@b/x"},
      // The host and port as the request reads them: the same parse decides.
      {"http://a/x", "http://b:/y?@c", kFollow, "http://b:/y?@c"},
      {"http://a/x", "http://b:81x/y", kRefused, "http://b:81x/y"},
      {"http://a/x", "http://b:0/y", kRefused, "http://b:0/y"},
      {"http://a/x", "http://b c/y", kRefused, "http://b c/y"},
      {"http://a/x", "", kMalformed, ""},
      {"http://a/x", "  ", kMalformed, ""},
      {"http://a/x", "/a\tb", kMalformed, ""},
      {"http://a/x", "/a\x7f", kMalformed, ""},
      {"http://a/x", "/" + std::string(2047, 'a'), kFollow, nullptr},
      {"http://a/x", "/" + std::string(2048, 'a'), kMalformed, ""},
  };
  for (const auto& c : cases) {
    const RedirectStep step = NextRedirect(Url(c.from), c.location, 0);
    EXPECT_EQ(step.refusal, c.refusal) << c.location;
    if (c.target != nullptr) {
      EXPECT_EQ(step.target, c.target) << c.location;
    }
  }
}

TEST(Redirect, FiveAreFollowedInATryAndOnlyTheseStatuses) {
  EXPECT_EQ(NextRedirect(Url("http://a/x"), "/y", kMostRedirects - 1).refusal, kFollow);
  EXPECT_EQ(NextRedirect(Url("http://a/x"), "/y", kMostRedirects).refusal,
            TransferError::TooManyRedirects);
  std::string followed;
  for (int status = 300; status < 310; ++status) {
    if (IsFollowedRedirect(status)) followed += std::to_string(status) + " ";
  }
  EXPECT_EQ(followed, "301 302 303 307 308 ");
}

}  // namespace
