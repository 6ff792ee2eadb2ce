#include "messenger/path_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(PathRules, MessengerFolderMustBeFullyQualified) {
  for (const char* folder : {"C:\\Programs\\Orvex", "C:", "d:\\", "\\\\server\\share\\Orvex"}) {
    EXPECT_TRUE(IsFullyQualifiedFolder(folder)) << folder;
  }
  for (const char* folder : {"", "Orvex.exe", "C:Orvex.exe", "\\Programs\\Orvex", "Programs\\Orvex",
                             "\"C:\\Programs\\Orvex", "1:\\x", ":\\x"}) {
    EXPECT_FALSE(IsFullyQualifiedFolder(folder)) << folder;
  }
  EXPECT_FALSE(IsFullyQualifiedFolder(nullptr));
}

TEST(PathRules, TempFolderGetsExactlyOneBackslash) {
  char out[260];
  ASSERT_TRUE(ComposeTempFolderPath("C:\\WINDOWS\\TEMP\\", "acme", out, sizeof out));
  EXPECT_STREQ(out, "C:\\WINDOWS\\TEMP\\acme");
  ASSERT_TRUE(ComposeTempFolderPath("C:\\WINDOWS\\TEMP", "acme", out, sizeof out));
  EXPECT_STREQ(out, "C:\\WINDOWS\\TEMP\\acme");
}

TEST(PathRules, TempFolderMustFitItsBuffer) {
  const std::string temp = "C:\\T\\";  // 5 characters
  char out[260];
  ASSERT_TRUE(ComposeTempFolderPath(temp.c_str(), std::string(254, 'p').c_str(), out, sizeof out));
  EXPECT_EQ(std::string(out).size(), 259u);

  std::memset(out, 'z', sizeof out);
  EXPECT_FALSE(ComposeTempFolderPath(temp.c_str(), std::string(255, 'p').c_str(), out, sizeof out));
  EXPECT_STREQ(out, "");
  // The separator counts too.
  EXPECT_FALSE(ComposeTempFolderPath("C:\\T", std::string(255, 'p').c_str(), out, sizeof out));
  EXPECT_STREQ(out, "");
}

}  // namespace
