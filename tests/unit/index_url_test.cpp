#include "app/inputs/index_url.h"

#include <gtest/gtest.h>

namespace {

TEST(BuildIndexUrl, PutsExactlyOneSlashBeforeThePartner) {
  struct Case {
    const char* base;
    const char* expected;
  } cases[] = {
      {"http://skins.example.com/cb/partner/", "http://skins.example.com/cb/partner/acme/urls.cb"},
      {"http://127.0.0.1:8080/base", "http://127.0.0.1:8080/base/acme/urls.cb"},
      {"", "/acme/urls.cb"},
      {"http://h//", "http://h//acme/urls.cb"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildIndexUrl(c.base, "acme"), c.expected) << "base: " << c.base;
  }
}

TEST(BuildIndexUrl, KeepsThePartnerIdAsWritten) {
  EXPECT_EQ(BuildIndexUrl("http://h/", "Big Partner 2"), "http://h/Big Partner 2/urls.cb");
}

}  // namespace
